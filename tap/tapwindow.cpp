#include "tap/tapwindow.h"

#include "ui/displaybox.h"
#include "ui/platform.h"
#include "ui/readers.h"
#include "ui/twips.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace korvo {

TapWindow::TapWindow(TapHost& host, QWidget* parent) : QDialog(parent), m_host(host)
{
    ui::presentToReaders(staticMetaObject, QAccessible::Dialog);
    setObjectName("TAP");
    setWindowTitle(tr("Korvo タップ"));
    setFont(ui::windowFont());
    setFixedSize(ui::twips(0, 0, 3495, 3150).size());

    const QFont bold12 = ui::font(12, true);
    const QFont bold9 = ui::font(9, true);

    m_frame = ui::frame(this, QString(), bold12, ui::twips(360, 240, 2895, 975));
    m_value = ui::displayBox(m_frame, QString(), bold12, ui::twips(1080, 360, 855, 375));
    m_tapButton = ui::button(this, tr("タップ (&T)"), bold12, ui::twips(360, 1440, 2895, 975));
    m_clear = ui::button(this, tr("やりなおし"), ui::windowFont(), ui::twips(360, 2520, 1335, 375));
    m_close = ui::button(this, tr("セット(&S)"), bold9, ui::twips(1800, 2520, 1455, 375));
    // The rest lies below the client area: out of sight, and so out of the tab order (Enter would
    // press a button nobody sees), but the send buttons answer their access keys and Ctrl+C copies.
    m_send1 = ui::button(this, "Send to (&1)", bold9, ui::twips(360, 3600, 1335, 255));
    m_send2 = ui::button(this, "Send to (&2)", bold9, ui::twips(1920, 3600, 1455, 255));
    m_copy = ui::button(this, tr("コピー"), ui::font(8.25), ui::twips(1080, 3840, 612, 372));
    m_labels[0] = ui::label(this, "Label1", ui::windowFont(), ui::twips(240, 4440, 1572, 372));
    m_labels[1] = ui::label(this, "Label2", ui::windowFont(), ui::twips(2040, 4440, 972, 372));
    m_labels[2] = ui::label(this, "Label3", ui::windowFont(), ui::twips(240, 4920, 1212, 252));
    m_labels[3] = ui::label(this, "Label4", ui::windowFont(), ui::twips(1800, 4920, 1212, 372));
    m_labels[4] = ui::label(this, "Label5", ui::windowFont(), ui::twips(1440, 5400, 1092, 252));

    m_frame->setObjectName("FrameBPM");
    m_value->setObjectName("TextBPM");
    m_tapButton->setObjectName("Command1");
    m_clear->setObjectName("CommandClear");
    m_close->setObjectName("CommandClose");
    m_send1->setObjectName("CmdSend1");
    m_send2->setObjectName("CmdSend2");
    m_copy->setObjectName("CommandCopy");
    for (std::size_t i = 0; i < m_labels.size(); ++i)
        m_labels[i]->setObjectName(QString("Label%1").arg(i + 1));

    // As on any dialog of the desktop, Enter presses the button that has the focus and otherwise the
    // tap button.
    for (QPushButton* b : {m_tapButton, m_clear, m_close, m_send1, m_send2, m_copy})
        b->setAutoDefault(true);
    m_tapButton->setDefault(true);

    // Nor are they offered to screen readers, which would read out what nobody sees.
    for (QPushButton* b : {m_send1, m_send2, m_copy}) {
        b->setFocusPolicy(Qt::NoFocus);
        ui::keepFromReaders(b);
    }
    for (QLabel* l : m_labels)
        ui::keepFromReaders(l);
    setTabOrder(m_tapButton, m_clear);
    setTabOrder(m_clear, m_close);
    m_tapButton->setFocus();
    auto* copy = new QShortcut(QKeySequence::Copy, this);
    connect(copy, &QShortcut::activated, this, &TapWindow::CommandCopy_Click);

    connect(m_tapButton, &QPushButton::clicked, this, &TapWindow::Command1_Click);
    connect(m_clear, &QPushButton::clicked, this, &TapWindow::CommandClear_Click);
    connect(m_close, &QPushButton::clicked, this, &TapWindow::CommandClose_Click);
    connect(m_send1, &QPushButton::clicked, this, &TapWindow::CmdSend1_Click);
    connect(m_send2, &QPushButton::clicked, this, &TapWindow::CmdSend2_Click);
    connect(m_copy, &QPushButton::clicked, this, &TapWindow::CommandCopy_Click);

    Form_Load();
}

void TapWindow::Form_Load()
{
    const int ref = m_host.tap_ref;
    m_frame->setTitle(QString(tr("新BPM %1")).arg(ref + 1));
    m_value->setAccessibleName(m_frame->title());
    const QString text = m_host.entryText(ref);
    m_value->setText(text);
    m_tap.start(text.toStdString());
}

void TapWindow::Command1_Click()
{
    // The clock first: whatever the handler does afterwards must not shift the beat.
    const double reading = Platform::current().seconds();
    const std::optional<TapShown> shown = m_tap.tap(reading);
    if (!shown)
        return;
    m_value->setText(QString::fromStdString(shown->value));
    m_host.setEntryText(m_host.tap_ref, m_value->text());
    for (std::size_t i = 0; i < m_labels.size(); ++i)
        m_labels[i]->setText(QString::fromStdString(shown->labels[i]));
}

void TapWindow::CommandClear_Click()
{
    m_value->setText(QString::fromStdString(m_tap.startOver()));
    m_host.setEntryText(m_host.tap_ref, m_value->text());
}

void TapWindow::CommandClose_Click()
{
    // Closing schedules this window's deletion, so only the host is used afterwards.
    TapHost& host = m_host;
    hide();
    close();
    host.showMainWindow();
    host.calc_pitch();
}

void TapWindow::CmdSend1_Click()
{
    send(0);
}

void TapWindow::CmdSend2_Click()
{
    send(1);
}

void TapWindow::send(int entry)
{
    m_host.setEntryText(entry, m_value->text());
    m_host.calc_pitch();
}

void TapWindow::CommandCopy_Click()
{
    Platform::current().setClipboardText(m_value->text());
}

void TapWindow::keyPressEvent(QKeyEvent* event)
{
    // The window is modal, so Escape must get a person out of it without a mouse: it closes the
    // window as its close box does. No handler runs and nothing is recalculated; the entry keeps
    // what the last tap or start-over wrote.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace korvo
