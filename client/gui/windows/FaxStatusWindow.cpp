#include "FaxStatusWindow.h"

#include "ClientTexts.h"
#include "FaxHistory.h"
#include "FaxHistoryModel.h"
#include "JobChanges.h"
#include "MessageBox.h"
#include "TwipsForm.h"
#include "WindowPlacement.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

using Show = FaxHistoryFilter::Show;

// Width and height at first opening, in twips; the user may resize it.
constexpr int WidthTwips = 14400;
constexpr int HeightTwips = 5400;

} // namespace

FaxStatusWindow::FaxStatusWindow(const FaxHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window), m_history(history), m_model(new FaxHistoryModel(history, this)),
      m_shown(new FaxHistoryFilter(history, this))
{
    using namespace texts::history;
    WindowPlacement::name(this, u"statusWindow"_s, WindowTitle);
    TwipsForm(this).openSize(WidthTwips, HeightTwips);

    auto* label = new QLabel(FilterLabel, this);
    m_filter = named(new QComboBox(this), u"filter"_s, spoken(FilterLabel));
    m_filter->addItem(FilterAll, int(Show::All));
    m_filter->addItem(FilterOpenOrFailed, int(Show::OpenOrFailed));
    m_filter->addItem(FilterOpen, int(Show::Open));
    m_filter->addItem(FilterFailed, int(Show::Failed));
    label->setBuddy(m_filter);
    connect(m_filter, &QComboBox::currentIndexChanged, this, [this] {
        m_shown->setShow(Show(m_filter->currentData().toInt()));
        updateResend();
    });

    m_shown->setSourceModel(m_model);
    m_view = named(new QTableView(this), u"faxes"_s, WindowTitle);
    m_view->setModel(m_shown);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTabKeyNavigation(false);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(false);
    m_view->horizontalHeader()->setSectionResizeMode(FaxHistoryModel::ReasonColumn, QHeaderView::Stretch);
    const TwipsForm form(this);
    for (const auto& [column, twips] : {std::pair{FaxHistoryModel::DateColumn, 1900},
                                        {FaxHistoryModel::DestinationColumn, 2250},
                                        {FaxHistoryModel::NumberColumn, 1500},
                                        {FaxHistoryModel::StateColumn, 1800},
                                        {FaxHistoryModel::PagesColumn, 800},
                                        {FaxHistoryModel::TriesColumn, 1050},
                                        {FaxHistoryModel::JobColumn, 800}})
        m_view->setColumnWidth(column, form.px(twips));
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &FaxStatusWindow::updateResend);
    connect(m_shown, &QAbstractItemModel::dataChanged, this, &FaxStatusWindow::updateResend);

    m_resend = named(new QPushButton(ResendButton, this), u"resend"_s, spoken(ResendButton));
    m_resend->setToolTip(ResendTip);
    connect(m_resend, &QPushButton::clicked, this, [this] {
        if (const int fax = currentFax(); fax >= 0)
            Q_EMIT resendRequested(fax);
    });
    m_serverNote = new QLabel(this);
    m_serverNote->setObjectName(u"serverNote"_s);
    m_serverNote->setWordWrap(true);
    m_serverNote->setTextFormat(Qt::PlainText);
    m_serverNote->hide();
    m_unsaved = new QLabel(this);
    m_unsaved->setObjectName(u"unsaved"_s);
    m_unsaved->setWordWrap(true);
    m_unsaved->setTextFormat(Qt::PlainText);
    m_unsaved->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(&history, &FaxHistory::fileStateChanged, this, &FaxStatusWindow::updateUnsaved);

    // Stopping and moving a fax: hidden until the job changes are given.
    m_cancel = named(new QPushButton(CancelButton, this), u"cancelFax"_s, spoken(CancelButton));
    m_cancel->setToolTip(CancelTip);
    m_cancel->hide();
    connect(m_cancel, &QPushButton::clicked, this, &FaxStatusWindow::askCancel);
    m_move = named(new QPushButton(MoveButton, this), u"moveFax"_s, spoken(MoveButton));
    m_move->setToolTip(MoveTip);
    m_move->hide();
    connect(m_move, &QPushButton::clicked, this, &FaxStatusWindow::openMoveDialog);
    m_changeNote = new QLabel(this);
    m_changeNote->setObjectName(u"changeNote"_s);
    m_changeNote->setWordWrap(true);
    m_changeNote->setTextFormat(Qt::PlainText);
    m_changeNote->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_changeNote->hide();
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &FaxStatusWindow::updateChanges);
    connect(m_shown, &QAbstractItemModel::dataChanged, this, &FaxStatusWindow::updateChanges);
    connect(m_shown, &QAbstractItemModel::modelReset, this, &FaxStatusWindow::updateChanges);
    connect(m_filter, &QComboBox::currentIndexChanged, this, &FaxStatusWindow::updateChanges);

    auto* close = named(new QPushButton(CloseButton, this), u"close"_s, spoken(CloseButton));
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(m_filter);
    top->addWidget(makeSearch(), 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_resend);
    bottom->addWidget(m_cancel);
    bottom->addWidget(m_move);
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_serverNote);
    layout->addWidget(m_unsaved);
    layout->addWidget(m_changeNote);
    layout->addWidget(m_view);
    layout->addLayout(bottom);
    updateResend();
    updateUnsaved();
    updateChanges();
}

FaxStatusWindow::~FaxStatusWindow() = default;

int FaxStatusWindow::currentFax() const
{
    return selectedFax();
}

int FaxStatusWindow::selectedFax() const
{
    // The view's index is the filter's: its row is not the history's.
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid() || !m_view->selectionModel()->isRowSelected(current.row()))
        return -1;
    return m_model->faxOf(m_shown->mapToSource(current).row());
}

// The search box -------------------------------------------------------------

QWidget* FaxStatusWindow::makeSearch()
{
    using namespace texts::history;
    m_search = named(new QLineEdit(this), u"search"_s, SearchName);
    m_search->setPlaceholderText(SearchPlaceholder);
    m_search->setToolTip(SearchTip);
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    // Typing narrows the list once it pauses; a long history is searched
    // off this thread by the filter.
    m_searchPause = new QTimer(this);
    m_searchPause->setSingleShot(true);
    m_searchPause->setInterval(SearchPauseMs);
    connect(m_search, &QLineEdit::textChanged, m_searchPause, qOverload<>(&QTimer::start));
    connect(m_searchPause, &QTimer::timeout, this, [this] { m_shown->setSearch(m_search->text()); });
    connect(m_shown, &FaxHistoryFilter::searchSettled, this, &FaxStatusWindow::updateResend);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    return m_search;
}

void FaxStatusWindow::clearSearch()
{
    m_searchPause->stop();
    {
        const QSignalBlocker quiet(m_search);
        m_search->clear();
    }
    m_shown->setSearch({});
}

bool FaxStatusWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_search && event->type() == QEvent::FocusIn)
        m_shown->prepareSearch();
    if (watched != m_search || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape && !m_search->text().isEmpty()) {
        clearSearch();
        return true;
    }
    if (key != Qt::Key_Down && key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    // To the list, the first fax found made current when none is.
    if (m_searchPause->isActive()) {
        m_searchPause->stop();
        m_shown->setSearch(m_search->text());
    }
    if (!m_view->currentIndex().isValid() && m_shown->rowCount() > 0)
        m_view->setCurrentIndex(m_shown->index(0, 0));
    m_view->setFocus(Qt::TabFocusReason);
    return true;
}

// ----------------------------------------------------------------------------

void FaxStatusWindow::updateResend()
{
    const int fax = selectedFax();
    const bool again = fax >= 0 && (m_history.records().at(fax).state == FaxState::Failed ||
                                    m_history.records().at(fax).state == FaxState::Cancelled);
    m_resend->setEnabled(again);
}

void FaxStatusWindow::setJobChanges(JobChanges* changes, IMessageBox* messages)
{
    m_changes = changes;
    m_messages = messages;
    m_cancel->setVisible(m_changes != nullptr);
    m_move->setVisible(m_changes != nullptr);
    if (m_changes) {
        connect(m_changes, &JobChanges::changeEnded, this,
                [this](int, bool, const QString& message) { showChangeNote(message); });
        connect(m_changes, &JobChanges::changeEnded, this, &FaxStatusWindow::updateChanges,
                Qt::QueuedConnection);
    }
    updateChanges();
}

void FaxStatusWindow::updateChanges()
{
    const int fax = currentFax();
    const bool ready = m_changes && m_changes->available() && !m_changes->busy() && fax >= 0;
    m_cancel->setEnabled(ready && JobChanges::canCancel(m_history.records().at(fax)));
    m_move->setEnabled(ready && JobChanges::canMove(m_history.records().at(fax)));
}

void FaxStatusWindow::showChangeNote(const QString& text)
{
    m_changeNote->setText(text);
    m_changeNote->setAccessibleName(text);
    m_changeNote->setVisible(!text.isEmpty());
}

void FaxStatusWindow::askCancel()
{
    const int fax = currentFax();
    if (!m_changes || !m_messages || fax < 0)
        return;
    // By appliance and job: the history may take in its file's faxes while
    // the question is open, and indices move.
    const FaxRecord record = m_history.records().at(fax);
    const MsgAnswer answer =
        m_messages->show({texts::history::cancelQuestion(record.job, record.destination()),
                          texts::history::WindowTitle, MsgIcon::Question, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes)
        return;
    const int index = m_history.indexOf(record.appliance, record.job);
    if (index < 0)
        return;
    if (!m_changes->cancel(index)) {
        showChangeNote(m_changes->available() ? texts::history::ChangeBusy
                                              : texts::history::ChangesUnavailable);
        return;
    }
    showChangeNote(QString());
    updateChanges();
}

void FaxStatusWindow::openMoveDialog()
{
    const int fax = currentFax();
    if (!m_changes || !m_messages || fax < 0 || m_moveDialog)
        return;
    const FaxRecord record = m_history.records().at(fax);
    auto* dialog = new QDialog(this);
    dialog->setObjectName(u"moveDialog"_s);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(texts::history::moveTitle(record.job));
    dialog->setAccessibleName(texts::history::moveTitle(record.job));
    auto* when = named(new QDateTimeEdit(dialog), u"sendTime"_s, spoken(texts::history::MoveLabel));
    when->setDisplayFormat(u"dd/MM/yyyy HH:mm"_s);
    when->setCalendarPopup(true);
    // An hour from now, to the minute.
    const QDateTime now = QDateTime::currentDateTime();
    when->setDateTime(now.addSecs(3600 - now.time().second()).addMSecs(-now.time().msec()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    auto* form = new QFormLayout(dialog);
    form->addRow(texts::history::MoveLabel, when);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, dialog, [this, dialog, when, record] {
        const QString problem = JobChanges::sendTimeProblem(when->dateTime(), QDateTime::currentDateTime());
        if (!problem.isEmpty()) {
            m_messages->show({problem, dialog->windowTitle(), MsgIcon::Exclamation, MsgButtons::Ok});
            when->setFocus();
            return;
        }
        const int index = m_history.indexOf(record.appliance, record.job);
        if (index >= 0 && !m_changes->move(index, when->dateTime()))
            showChangeNote(m_changes->available() ? texts::history::ChangeBusy
                                                  : texts::history::ChangesUnavailable);
        else
            showChangeNote(QString());
        dialog->accept();
        updateChanges();
    });
    m_moveDialog = dialog;
    connect(dialog, &QObject::destroyed, this, [this] { m_moveDialog = nullptr; });
    dialog->open();
}

void FaxStatusWindow::updateUnsaved()
{
    using State = FaxHistory::FileState;
    const State state = m_history.fileState();
    const QString text = state == State::Saved    ? QString()
                         : state == State::Unread ? texts::history::NotRead + m_history.fileProblem()
                                                  : texts::history::NotSaved + m_history.fileProblem();
    m_unsaved->setText(text);
    m_unsaved->setAccessibleName(text);
    m_unsaved->setVisible(!text.isEmpty());
}

void FaxStatusWindow::showFax(int fax)
{
    QModelIndex index = m_shown->mapFromSource(m_model->index(m_model->rowOf(fax), 0));
    // A fax the filter or the search hides: all are listed again to show it.
    if (!index.isValid() && fax >= 0 && fax < m_history.records().size()) {
        clearSearch();
        m_filter->setCurrentIndex(m_filter->findData(int(Show::All)));
        index = m_shown->mapFromSource(m_model->index(m_model->rowOf(fax), 0));
    }
    if (index.isValid()) {
        m_view->setCurrentIndex(index);
        m_view->scrollTo(index);
    }
    showInFront();
}

void FaxStatusWindow::setServerNote(const QString& note)
{
    m_serverNote->setText(note);
    m_serverNote->setAccessibleName(note);
    m_serverNote->setVisible(!note.isEmpty());
}

void FaxStatusWindow::showInFront()
{
    WindowPlacement::showInFront(this);
    m_view->setFocus();
}

} // namespace kestrel
