#pragma once

#include <QWidget>

class QComboBox;
class QDateTimeEdit;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace kestrel {

class FaxHistory;
class FaxHistoryFilter;
class FaxHistoryModel;
class IMessageBox;
class JobChanges;

// The status window "Stato dei fax": every fax of the history, newest first,
// with its state in words and colour and the server's reason; a filter for
// the faxes that are unfinished or failed; "Reinvia" on a failed or
// cancelled fax puts it back into the send window. A line above the list
// says when the list is not the one saved in the history file, and why.
// The search box beside the filter narrows the list to the faxes whose
// name, number or job number hold what is typed (Ctrl+F goes there; Down
// or Enter goes to the list).
// Given the job changes, "Annulla fax" stops a fax still queued or being
// sent (after a question naming it) and "Sposta invio..." moves a queued
// one to another send time; what the server said shows in a line above the
// list.
class FaxStatusWindow : public QWidget
{
    Q_OBJECT
public:
    explicit FaxStatusWindow(const FaxHistory& history, QWidget* parent = nullptr);
    ~FaxStatusWindow() override;

    // Shown in front, the fax (the history's index) made current when it
    // is listed.
    void showFax(int fax);
    void showInFront();
    // Why the states are those of an older answer of the fax server; empty
    // hides it.
    void setServerNote(const QString& note);

    QTableView* view() const { return m_view; }
    QComboBox* filter() const { return m_filter; }
    QPushButton* resendButton() const { return m_resend; }
    QLabel* serverNote() const { return m_serverNote; }
    // Shown while the list is not the one saved in the history file.
    QLabel* unsavedLine() const { return m_unsaved; }
    // The fax on the current row, or -1.
    int currentFax() const;
    // The fax (the history's index) the row actions act on: the selected
    // row's, through the filter and the search; -1 when none is selected.
    int selectedFax() const;

    // The search box.
    QLineEdit* searchBox() const { return m_search; }
    // How long typing pauses before the list narrows.
    static constexpr int SearchPauseMs = 30;

    // Stopping and moving faxes: the buttons show once this is given.
    void setJobChanges(JobChanges* changes, IMessageBox* messages);
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* moveButton() const { return m_move; }
    // The open "Sposta invio..." dialog, or nullptr.
    QDialog* moveDialog() const { return m_moveDialog; }
    QLabel* changeNote() const { return m_changeNote; }

Q_SIGNALS:
    void resendRequested(int fax);

private:
    void updateResend();
    void updateUnsaved();
    // The search box.
    QWidget* makeSearch();
    void clearSearch();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void updateChanges();
    void askCancel();
    void openMoveDialog();
    void showChangeNote(const QString& text);

    const FaxHistory& m_history;
    FaxHistoryModel* m_model;
    FaxHistoryFilter* m_shown;
    QComboBox* m_filter;
    QTableView* m_view;
    QPushButton* m_resend;
    QLabel* m_serverNote;
    QLabel* m_unsaved;
    // The search box.
    QLineEdit* m_search = nullptr;
    QTimer* m_searchPause = nullptr;
    JobChanges* m_changes = nullptr;
    IMessageBox* m_messages = nullptr;
    QPushButton* m_cancel;
    QPushButton* m_move;
    QLabel* m_changeNote;
    QDialog* m_moveDialog = nullptr;
};

} // namespace kestrel
