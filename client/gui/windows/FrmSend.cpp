#include "FrmSend.h"

#include "ClientTexts.h"
#include "ControlSettings.h"
#include "FaxNumberValidator.h"
#include "FileNameOf.h"
#include "ListGrid.h"
#include "NormalizeFaxNumber.h"
#include "SendOptionsRow.h"
#include "TwipsForm.h"
#include "WindowPlacement.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// The window's client area, in twips: the design's 6045 and a row below
// it for "Stato dei fax".
constexpr int WidthTwips = 4965;
constexpr int StatusRowTop = 5910;
constexpr int HeightTwips = 6405;
// The row of "Setup" and "Esci" below it where there is no notification area.
constexpr int ShellRowTwips = 615;

} // namespace

FrmSend::FrmSend(Services services, QWidget* parent)
    : QWidget(parent), m_services(std::move(services)), m_host(m_services.outbox->host()),
      m_watch(m_services.outbox->watch()), m_destRows(m_services.outbox->destinations()),
      m_docRows(m_services.outbox->documents()), m_flow(m_services.outbox->flow()),
      m_intake(m_services.outbox->intake())
{
    WindowPlacement::name(this, u"frmSend"_s, texts::SendTitle);
    m_flow.setSettings([settings = m_services.settings] { return settings->values(); });
    m_intake.setSettings([settings = m_services.settings] { return settings->values(); });
    // Until the window is first shown no line can have been chosen.
    m_flow.setLineText([this] { return m_comboOut ? m_comboOut->currentText() : QString(); });
    const bool tray = !m_services.trayAvailable || m_services.trayAvailable();
    TwipsForm(this).fixSize(WidthTwips, HeightTwips + (tray ? 0 : ShellRowTwips));
    // Titled from the start; the load sets them up again.
    setUpGrids();

    connect(&m_watch, &ApplianceWatch::backOnline, this,
            [this] { Q_EMIT noticeRequested(texts::ApplianceBack); });
    connect(&m_host, &CorvanefaxHost::printedDocAvailable, this, &FrmSend::onPrintedDoc);
    // A print comes up once its pages were read.
    connect(&m_intake, &PrintIntake::printListed, this, &FrmSend::showInFront);
    connect(&m_intake, &PrintIntake::lettersListed, this, &FrmSend::showInFront);
    connect(&m_intake, &PrintIntake::printRefused, this,
            [this](const QString&, const QString& problem) { onPrintRefused(problem); });
    // What a press without the user left to do.
    connect(&m_flow, &SubmissionFlow::unattendedStopped, this, &FrmSend::showInFront);
    // The letters' pages are shown while there are letters.
    for (const auto changed : {&GridRows::rowsInserted, &GridRows::rowsRemoved})
        connect(&m_destRows, changed, this, &FrmSend::applyColumnWidths);
    connect(&m_destRows, &GridRows::modelReset, this, &FrmSend::applyColumnWidths);
    connect(&m_host, &CorvanefaxHost::messageFromAppliance, this, &FrmSend::onApplianceMessage);
    connect(&m_flow, &SubmissionFlow::coverRejected, this, [this] { Q_EMIT optionsRequested(true); });
    connect(&m_flow, &SubmissionFlow::finished, this, &FrmSend::hideWithCompanions);
    connect(&m_flow, &SubmissionFlow::documentsRestored, this, &FrmSend::showInFront);
    // One submission at a time: a second press would drop the first.
    connect(&m_flow, &SubmissionFlow::runningChanged, this, [this](bool running) {
        showSendState();
        // From the event loop: the flow's own handler is still running.
        if (!running && m_reloadPending)
            QTimer::singleShot(0, this, &FrmSend::reloadIfPending);
    });
    // The press waits for the appliance: said at once, and no second press.
    connect(&m_flow, &SubmissionFlow::checkingAppliance, this, &FrmSend::showSendState);
}

FrmSend::~FrmSend()
{
    // The control goes with its window; the outbox outlives both.
    m_host.destroy();
    m_flow.setLineText([] { return QString(); });
}

void FrmSend::setVisible(bool visible)
{
    if (visible)
        ensureControls();
    QWidget::setVisible(visible);
}

void FrmSend::ensureControls()
{
    if (m_cmdsend)
        return;
    buildControls();
    applyColumnWidths();
    applyLineSelector();
    showSendState();
    // The options row made the window taller than it was when load() put
    // it in the corner: it goes there again before it is first shown.
    posiziona();
}

void FrmSend::showSendState()
{
    if (!m_cmdsend)
        return;
    const bool checking = m_flow.isChecking();
    m_cmdsend->setDisabled(m_flow.isRunning() || checking);
    m_cmdsend->setText(checking ? texts::CheckingButton : texts::SendButton);
    m_cmdsend->setToolTip(checking ? texts::CheckingAppliance : texts::SendTip);
    m_cmdsend->setAccessibleName(checking ? texts::CheckingAppliance : spoken(texts::SendButton));
}

void FrmSend::buildControls()
{
    const TwipsForm form(this);
    const auto place = [&form](QWidget* widget, int left, int top, int width, int height) {
        form.place(widget, left, top, width, height);
    };

    m_frame1 = named(new QGroupBox(texts::NumberFrame, this), u"Frame1"_s, texts::NumberFrame);
    place(m_frame1, 120, 60, 4725, 915);
    m_txtFaxNumber = named(new QLineEdit(m_frame1), u"txtFaxNumber"_s, texts::NumberFrame);
    m_txtFaxNumber->setToolTip(texts::NumberTip);
    place(m_txtFaxNumber, 120, 360, 3135, 375);
    m_txtFaxNumber->installEventFilter(this);
    // Pasted, dropped or composed text is made digits, or refused with the
    // message of a missing number (after the line edit is done with it).
    m_txtFaxNumber->setValidator(new FaxNumberValidator(m_txtFaxNumber));
    connect(
        m_txtFaxNumber, &QLineEdit::inputRejected, this,
        [this] {
            m_services.messageBox->show({texts::NoNumberTyped, QString(), MsgIcon::None, MsgButtons::Ok});
        },
        Qt::QueuedConnection);
    m_cmdpiunum =
        named(new QPushButton(texts::AddNumber, m_frame1), u"cmdpiunum"_s, spoken(texts::AddNumber));
    m_cmdpiunum->setToolTip(texts::AddNumberTip);
    place(m_cmdpiunum, 3360, 330, 1215, 435);
    connect(m_cmdpiunum, &QPushButton::clicked, this, &FrmSend::cmdpiunumClick);

    m_frame2 = named(new QGroupBox(texts::DestinationFrame, this), u"Frame2"_s, texts::DestinationFrame);
    place(m_frame2, 120, 1035, 4725, 2100);
    m_msfgDest = named(new ListGrid(m_destRows, m_frame2), u"msfgDest"_s, texts::DestinationFrame);
    place(m_msfgDest, 120, 300, 3360, 1680);
    m_cmdrubrica = named(new QPushButton(texts::AddressBookButton, m_frame2), u"cmdrubrica"_s,
                         spoken(texts::AddressBookButton));
    place(m_cmdrubrica, 3600, 300, 1005, 435);
    connect(m_cmdrubrica, &QPushButton::clicked, this, &FrmSend::addressBookRequested);
    connect(m_msfgDest, &ListGrid::cellDoubleClicked, this, [this](int row) { removeRow(m_msfgDest, row); });

    m_lblDocument = named(new QLabel(texts::DocumentsLabel, this), u"lblDocument"_s, texts::DocumentsLabel);
    place(m_lblDocument, 120, 3225, 3000, 255);
    m_msfgDocument = named(new ListGrid(m_docRows, this), u"msfgDocument"_s, texts::DocumentsLabel);
    place(m_msfgDocument, 120, 3480, 4275, 1245);
    m_msfgDocument->setAcceptsFiles(true);
    m_lblDocument->setBuddy(m_msfgDocument);
    connect(m_msfgDocument, &ListGrid::filesDropped, this, &FrmSend::addDroppedDocuments);
    connect(m_msfgDocument, &ListGrid::cellDoubleClicked, this,
            [this](int row) { removeRow(m_msfgDocument, row); });
    m_cmdpiudoc = named(new QPushButton(texts::AddDocument, this), u"cmdpiudoc"_s, texts::AddDocumentTip);
    m_cmdpiudoc->setToolTip(texts::AddDocumentTip);
    place(m_cmdpiudoc, 4455, 3480, 390, 390);
    connect(m_cmdpiudoc, &QPushButton::clicked, this, &FrmSend::cmdpiudocClick);

    m_lblModem = named(new QLabel(texts::LineSelectorLabel, this), u"lblModem"_s, texts::LineSelectorLabel);
    m_lblModem->setToolTip(texts::LineSelectorTip);
    place(m_lblModem, 120, 4845, 2355, 255);
    m_comboOut = named(new QComboBox(this), u"ComboOut"_s, texts::LineSelectorLabel);
    m_comboOut->setToolTip(texts::LineSelectorTip);
    place(m_comboOut, 2520, 4800, 2325, 330);
    m_lblModem->setBuddy(m_comboOut);
    m_lblModem->hide();
    m_comboOut->hide();

    m_cmdsend = named(new QPushButton(texts::SendButton, this), u"cmdsend"_s, spoken(texts::SendButton));
    m_cmdsend->setToolTip(texts::SendTip);
    place(m_cmdsend, 120, 5295, 2355, 555);
    m_cmdsend->setDefault(false);
    connect(m_cmdsend, &QPushButton::clicked, this, &FrmSend::cmdsendClick);
    m_cmdDel = named(new QPushButton(texts::HideButton, this), u"cmdDel"_s, spoken(texts::HideButton));
    m_cmdDel->setToolTip(texts::HideTip);
    place(m_cmdDel, 2520, 5295, 2325, 555);
    connect(m_cmdDel, &QPushButton::clicked, this, &FrmSend::cmdDelClick);
    m_statusButton = named(new QPushButton(texts::history::OpenButton, this), u"statusButton"_s,
                           texts::history::WindowTitle);
    m_statusButton->setToolTip(texts::history::OpenTip);
    place(m_statusButton, 120, StatusRowTop, 4725, 435);
    connect(m_statusButton, &QPushButton::clicked, this, &FrmSend::statusWindowRequested);
    connect(m_msfgDest, &ListGrid::deleteRequested, this, [this](int row) { removeRow(m_msfgDest, row); });
    connect(m_msfgDocument, &ListGrid::deleteRequested, this,
            [this](int row) { removeRow(m_msfgDocument, row); });

    // Without a notification area nothing else leads to the options or out
    // of the program.
    if (m_services.trayAvailable && !m_services.trayAvailable()) {
        m_setupButton = named(new QPushButton(texts::MenuSetup, this), u"setupButton"_s, texts::MenuSetup);
        place(m_setupButton, 120, HeightTwips, 2355, 435);
        connect(m_setupButton, &QPushButton::clicked, this, &FrmSend::setupRequested);
        m_quitButton = named(new QPushButton(texts::MenuQuit, this), u"quitButton"_s, texts::MenuQuit);
        place(m_quitButton, 2520, HeightTwips, 2325, 435);
        connect(m_quitButton, &QPushButton::clicked, this, &FrmSend::quitClick);
    }
    buildSendOptions();
}

void FrmSend::buildSendOptions()
{
    m_sendOptions = new SendOptionsRow(this);
    m_sendOptions->reset(jobOptionsOf(m_services.settings->values()));
    connect(m_sendOptions, &SendOptionsRow::openChanged, this, &FrmSend::fitSendOptions);
    // What the row says goes with the next press; a fax that went leaves
    // the next one the defaults.
    m_flow.setJobOptions([this] { return m_sendOptions->options(); });
    connect(&m_flow, &SubmissionFlow::finished, m_sendOptions,
            [this] { m_sendOptions->reset(jobOptionsOf(m_services.settings->values())); });
    fitSendOptions();
}

void FrmSend::fitSendOptions()
{
    // Below "Stato dei fax"; the row of "Setup" and "Esci" below it.
    const TwipsForm form(this);
    const int top = form.px(HeightTwips);
    // Measured as it will be drawn: the style's fonts and margins first.
    m_sendOptions->ensurePolished();
    m_sendOptions->adjustSize();
    const int height = m_sendOptions->sizeHint().height();
    m_sendOptions->setGeometry(form.px(120), top, form.px(4725), height);
    int bottom = top + height + form.px(60);
    for (QPushButton* button : {m_setupButton, m_quitButton}) {
        if (button)
            button->move(button->x(), bottom);
    }
    if (m_setupButton)
        bottom += form.px(ShellRowTwips);
    // A window on the screen grows and shrinks upwards: its bottom edge,
    // in the corner, stays where it is.
    const int grown = bottom - QWidget::height();
    setFixedSize(form.px(WidthTwips), bottom);
    if (isVisible() && grown != 0)
        move(x(), y() - grown);
}

void FrmSend::load()
{
    const Services& s = m_services;
    if (s.checkForUpdate)
        s.checkForUpdate();
    posiziona();
    if (s.setAlwaysOnTop)
        s.setAlwaysOnTop(this, true);
    m_lineSelector.items.clear();
    applyLineSelector();
    s.lines->setLineCount(0);
    s.settings->reload();
    const SettingsValues settings = s.settings->values();
    if (s.addTrayIcon)
        s.addTrayIcon();
    hideToTray();
    if (s.loadDesktopContacts)
        s.loadDesktopContacts();
    if (!settings.isComplete()) {
        s.messageBox->show(texts::incompleteConfigurationBox());
        Q_EMIT optionsRequested(false);
    }

    if (const Status created = s.createControl(m_host); !created) {
        // Without its control the window can still list documents; the
        // user learns why nothing can be sent.
        Q_EMIT noticeRequested(created.error().message);
    } else {
        ControlSettings::applyAtLoad(*m_host.control(), settings);
        if (const MethodError error = m_watch.activate(); error.failed())
            Q_EMIT noticeRequested(u"%1 (%2)"_s.arg(error.description).arg(error.number));
    }
    setUpGrids();
    Listamodem();
    // The options window may have changed the defaults of the send options.
    if (m_sendOptions)
        m_sendOptions->reset(jobOptionsOf(settings));
}

void FrmSend::reload()
{
    // The control is on its way with a fax: a new one now would drop it.
    if (m_flow.isRunning()) {
        if (!std::exchange(m_reloadPending, true))
            Q_EMIT noticeRequested(texts::ReloadAfterSubmission);
        return;
    }
    m_reloadPending = false;
    m_host.destroy();
    load();
    showInFront();
}

void FrmSend::reloadIfPending()
{
    if (m_reloadPending && !m_flow.isRunning())
        reload();
}

void FrmSend::onApplianceMessage(const QString& message)
{
    // While the appliance is away it is looked for every minute: that it is
    // still away was said already.
    if (message == ApplianceOffline && m_watch.isRetrying())
        return;
    Q_EMIT noticeRequested(message);
}

void FrmSend::setUpGrids()
{
    m_docRows.setText(0, 1, texts::PathHeader);
    m_docRows.setText(0, 2, texts::FileNameHeader);
    m_destRows.setText(0, DestinationColumn::Number, texts::NumberHeader);
    m_destRows.setText(0, DestinationColumn::Description, texts::DescriptionHeader);
    m_destRows.setText(0, DestinationColumn::Pages, texts::letters::PagesHeader);
    applyColumnWidths();
}

void FrmSend::applyColumnWidths()
{
    if (!m_msfgDest)
        return;
    m_msfgDocument->setColumnWidthsTwips({0, 0, 4560});
    const QStringList letters = m_destRows.column(DestinationColumn::Letter);
    const bool anyLetter =
        std::any_of(letters.cbegin(), letters.cend(), [](const QString& d) { return !d.isEmpty(); });
    if (anyLetter)
        m_msfgDest->setColumnWidthsTwips({0, 1400, 1100, 700, 0});
    else
        m_msfgDest->setColumnWidthsTwips({0, 1500, 1700, 0, 0});
}

void FrmSend::posiziona()
{
    WindowPlacement::toBottomRight(this);
}

void FrmSend::Listamodem()
{
    const QString ip = m_services.settings->values().ip;
    if (ip.isEmpty())
        return;
    ModemList list(*m_services.lines, m_services.fetchPage);
    m_lineSelector = list.Listamodem(ip);
    m_lineSelectorShown = true;
    applyLineSelector();
}

void FrmSend::applyLineSelector()
{
    if (!m_comboOut)
        return;
    m_comboOut->clear();
    m_comboOut->addItems(m_lineSelector.items);
    m_comboOut->setCurrentIndex(-1);
    if (!m_lineSelectorShown)
        return;
    m_comboOut->setEnabled(true);
    m_lblModem->setVisible(m_lineSelector.visible);
    m_comboOut->setVisible(m_lineSelector.visible);
}

void FrmSend::hideToTray()
{
    if (!m_services.trayAvailable || m_services.trayAvailable())
        hide();
    else
        showMinimized(); // no tray: the window must stay reachable
}

void FrmSend::showInFront()
{
    WindowPlacement::showInFront(this);
}

void FrmSend::hideWithCompanions()
{
    hideToTray();
    Q_EMIT companionsHidden();
}

bool FrmSend::cmdpiunumClick()
{
    ensureControls();
    // The box's filter does not see every way in (the accessibility
    // interface sets text past it): its digits, read as the filter reads
    // them, or nothing.
    const QString number = FaxNumberDigits(m_txtFaxNumber->text());
    if (number.isEmpty()) {
        m_services.messageBox->show({texts::NoNumberTyped, QString(), MsgIcon::None, MsgButtons::Ok});
        return false;
    }
    const int r = m_destRows.rows();
    m_destRows.setRows(r + 1);
    m_destRows.setText(r, 1, number);
    m_txtFaxNumber->clear();
    return true;
}

bool FrmSend::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_txtFaxNumber || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        cmdpiunumClick();
        return true;
    }
    // Only keys that type a character are filtered: digits and backspace
    // pass, every other character is dropped. Tab, moving the cursor and
    // shortcuts such as paste are left alone (the validator takes pasted
    // text).
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false; // shortcuts: paste and the like
    const QString text = key->text();
    if (text.isEmpty() || key->key() == Qt::Key_Backspace || !text.at(0).isPrint())
        return false;
    return !(text.size() == 1 && text.at(0) >= u'0' && text.at(0) <= u'9');
}

void FrmSend::cmdpiudocClick()
{
    if (!m_services.chooseFile)
        return;
    const QString path = m_services.chooseFile(this, texts::SendDocumentFilter);
    if (!path.isEmpty())
        appendDocument(path);
}

void FrmSend::appendDocument(const QString& path)
{
    const int m = m_docRows.rows();
    m_docRows.setRows(m + 1);
    m_docRows.setText(m, 1, path);
    m_docRows.setText(m, 2, FileNameOf(path));
}

void FrmSend::addDroppedDocuments(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    const QString& path = paths.constFirst();
    if (path.right(3) == u"pdf"_s || path.right(2) == u"ps"_s) {
        if (!path.isEmpty())
            appendDocument(path);
        return;
    }
    m_services.messageBox->show({texts::NotADocument, texts::ProductName, MsgIcon::Critical, MsgButtons::Ok});
}

bool FrmSend::putBack(const QString& number, const QString& description, const QStringList& documents)
{
    const auto sending = [this] {
        if (!m_flow.isRunning())
            return false;
        m_services.messageBox->show({texts::history::ResendWhileSending, texts::history::ResendAction,
                                     MsgIcon::Exclamation, MsgButtons::Ok});
        return true;
    };
    if (sending())
        return false;
    // Another fax's numbers with this one's documents, or the other way
    // round, would give each recipient what was meant for another. A number
    // typed but not added yet goes with the next send too.
    const bool typed = m_txtFaxNumber && !m_txtFaxNumber->text().trimmed().isEmpty();
    if (m_destRows.rows() > 1 || m_docRows.rows() > 1 || typed) {
        const MsgAnswer answer =
            m_services.messageBox->show({texts::history::ResendReplaceQuestion, texts::history::ResendAction,
                                         MsgIcon::Question, MsgButtons::YesNo});
        // The question waits in an event loop: a send may have begun.
        if (answer != MsgAnswer::Yes || sending())
            return false;
    }
    m_destRows.setRows(1);
    m_docRows.setRows(1);
    if (m_txtFaxNumber)
        m_txtFaxNumber->clear();
    if (!number.isEmpty())
        m_destRows.appendRow({QString(), number, description});
    for (const QString& path : documents)
        appendDocument(path);
    showInFront();
    return true;
}

void FrmSend::removeRow(ListGrid* grid, int row)
{
    GridRows& rows = grid->rows();
    if (rows.rows() < 2 || row < 1 || row >= rows.rows())
        return;
    const QString question = grid == m_msfgDest
                                 ? texts::removeDestination(rows.text(row, 2), rows.text(row, 1))
                                 : texts::removeDocument(rows.text(row, 2));
    const MsgAnswer answer =
        m_services.messageBox->show({question, texts::RemoveTitle, MsgIcon::None, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes)
        return;
    if (rows.rows() < 3)
        rows.setRows(1);
    else
        rows.removeRow(row);
}

void FrmSend::cmdDelClick()
{
    if (m_docRows.rows() >= 2 || m_destRows.rows() >= 2) {
        const MsgAnswer answer = m_services.messageBox->show(
            {texts::CancelQuestion, texts::CancelTitle, MsgIcon::None, MsgButtons::YesNo});
        if (answer != MsgAnswer::Yes)
            return;
        m_docRows.setRows(1);
        m_destRows.setRows(1);
        if (m_services.addTrayIcon)
            m_services.addTrayIcon();
        hideToTray();
        return;
    }
    hideWithCompanions();
}

void FrmSend::cmdsendClick()
{
    if (m_flow.isRunning() || m_flow.isChecking())
        return;
    ensureControls();
    // A typed number that is refused stops the press: the user corrects it.
    if (!m_txtFaxNumber->text().trimmed().isEmpty() && !cmdpiunumClick())
        return;
    m_txtFaxNumber->clear();
    m_flow.send();
    // Ready for the next number, whatever the send said.
    if (m_txtFaxNumber)
        m_txtFaxNumber->setFocus();
}

void FrmSend::quitClick()
{
    if (m_services.messageBox->show(texts::quitBox()) == MsgAnswer::Yes)
        Q_EMIT quitRequested();
}

void FrmSend::onPrintedDoc(const QString& spoolFile)
{
    m_intake.take(spoolFile);
}

void FrmSend::onPrintRefused(const QString& problem)
{
    showInFront();
    m_services.messageBox->show(
        {texts::letters::refused(problem), texts::ProductName, MsgIcon::Exclamation, MsgButtons::Ok});
}

void FrmSend::closeEvent(QCloseEvent* event)
{
    // A tray program: closing the window puts it away.
    event->ignore();
    hideToTray();
}

} // namespace kestrel
