#pragma once

#include "GridRows.h"
#include "PrintTags.h"
#include "SettingsValues.h"
#include "SubmissionFlow.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QTemporaryDir;

namespace kestrel {

// What becomes of a captured print: its pages are read for the tags that
// name destinations, one print at a time and in the order they came, before
// it reaches the send window.
//
// - No tag: the print joins the document list, as any print (printListed).
// - Tagged: each letter becomes a destination of its own, with its name,
//   its pages and its own document (lettersListed), once no press is under
//   way (it would take them along unasked). With TAGSEND set, and the
//   destination list empty then, the letters are sent at once without the
//   window (an unattended press).
// - Refused: nothing is split; the print joins the document list to be
//   sent by hand, and the user is to be told why (printRefused).
//
// The letters' documents are written to a private folder of their print.
// A folder goes once none of its letters is listed any more, unless one of
// them went to the fax server: then it stays until the program ends, so
// that "Reinvia" finds the letter.
class PrintIntake : public QObject
{
    Q_OBJECT
public:
    PrintIntake(SubmissionFlow& flow, GridRows& destinations, std::unique_ptr<PrintTagReader> reader,
                QObject* parent = nullptr);
    ~PrintIntake() override;

    // The settings in force, read for every print.
    void setSettings(std::function<SettingsValues()> settings) { m_settings = std::move(settings); }
    // Another reader (tests, tools); a reading under way is abandoned and
    // its print read again by the new one.
    void setReader(std::unique_ptr<PrintTagReader> reader);

    // The capture has a print.
    void take(const QString& spoolFile);

    // Prints taken and not placed yet.
    int waiting() const { return int(m_queue.size()); }
    // The private folders of letters that exist now.
    QStringList folders() const;

Q_SIGNALS:
    void printListed(const QString& spoolFile);
    void lettersListed(int letters);
    // problem: why, in Italian, naming the page.
    void printRefused(const QString& spoolFile, const QString& problem);

private:
    struct Folder;
    void readNext();
    void onRead(const QString& printPath, const kestrel::TagReading& reading);
    // Places the print read; false while an unattended press must wait.
    bool place(const TagReading& reading);
    void listPrint(const QString& spoolFile);
    void listLetters(const TagReading& reading);
    void retryHeld();
    void markSent(const SubmittedJob& job);
    // Removes the folders no listed letter, no reading and no fax needs.
    void sweep();

    SubmissionFlow& m_flow;
    GridRows& m_destinations;
    std::unique_ptr<PrintTagReader> m_reader;
    std::function<SettingsValues()> m_settings;
    QStringList m_queue; // the first is being read, or held
    bool m_reading = false;
    // Read, waiting for an unattended press to end.
    std::optional<TagReading> m_held;
    std::vector<std::unique_ptr<Folder>> m_folders;
    Folder* m_current = nullptr; // of the print being read or held
};

} // namespace kestrel
