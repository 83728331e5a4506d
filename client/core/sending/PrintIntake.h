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
class QTimer;

namespace kestrel {

// What becomes of a captured print: its pages are read for the tags that
// name destinations before it reaches the send window. Several prints are
// read at once, and each is placed once read, in the order they came; a
// print still being read holds up those read after it for a moment only
// (a huge print may take minutes), then they go ahead of it.
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
    // Another reader (tests, tools); the readings under way are abandoned
    // and their prints read again by the new one.
    void setReader(std::unique_ptr<PrintTagReader> reader);

    // The capture has a print.
    void take(const QString& spoolFile);

    // Prints taken and not placed yet.
    int waiting() const { return int(m_prints.size()); }
    // The private folders of letters that exist now.
    QStringList folders() const;

Q_SIGNALS:
    void printListed(const QString& spoolFile);
    void lettersListed(int letters);
    // problem: why, in Italian, naming the page.
    void printRefused(const QString& spoolFile, const QString& problem);

private:
    struct Folder;
    struct Print;
    // Starts readings, up to the most run at once.
    void readMore();
    void onRead(const QString& printPath, const kestrel::TagReading& reading);
    // Places the prints read, in turn.
    void placeReady();
    // A print still being read no longer holds up those read after it.
    void stopWaiting();
    void place(const Print& print);
    void listLetters(const TagReading& reading);
    void markSent(const SubmittedJob& job);
    // Removes the folders no listed letter, no reading and no fax needs.
    void sweep();

    SubmissionFlow& m_flow;
    GridRows& m_destinations;
    std::unique_ptr<PrintTagReader> m_reader;
    std::function<SettingsValues()> m_settings;
    // Taken and not placed yet, in the order they came (shared: a handler
    // run while one is placed may change the list).
    QList<std::shared_ptr<Print>> m_prints;
    std::vector<std::unique_ptr<Folder>> m_folders;
    QTimer* m_patience; // how long a print read waits for one before it
};

} // namespace kestrel
