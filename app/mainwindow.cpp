#include "app/mainwindow.h"

#include "app/manualwindow.h"
#include "app/version.h"
#include "pitch/bpmvalue.h"
#include "pitch/pitchshift.h"
#include "settings/settingsformat.h"
#include "ui/displaybox.h"
#include "ui/platform.h"
#include "ui/readers.h"
#include "ui/twips.h"
#include "ui/windowfront.h"
#include "ui/windowplacement.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>

namespace korvo {

// The client area, a type of its own so that screen readers are offered the controls on it without
// the two that lie below it.
class ClientArea final : public QWidget
{
    Q_OBJECT

public:
    explicit ClientArea(QWidget* parent) : QWidget(parent)
    {
        ui::presentToReaders(staticMetaObject, QAccessible::Client);
    }
};

namespace {

using ui::twips;

QFont mainWindowFont()
{
    return ui::font(9.75, true);
}

} // namespace

MainWindow::MainWindow(settings::Store store, QWidget* parent)
    : QMainWindow(parent), m_store(std::move(store))
{
    setObjectName("BPM");
    setWindowTitle("Korvo Main");
    buildControls();
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Start-up: place the window, restore the saved values, then one calculation brings the
    // results, the sliders and the delay window in line with them.
    placeWindow();
    load_init();
    calc_pitch();
}

MainWindow::~MainWindow()
{
    // The delay, sample and manual windows are top-level windows of their own; they go with this one.
    delete m_delay;
    delete m_sample;
    delete m_manual;
}

void MainWindow::buildControls()
{
    auto* client = new ClientArea(this);
    client->setObjectName("client");
    client->setFixedSize(twips(0, 0, 5640, 5385).size());
    client->setFont(mainWindowFont());
    setCentralWidget(client);

    for (int i = 0; i < 2; ++i)
        m_tempoEntries[i] = new TempoEntry(i, client);

    // The delay button lies over the lower part of the BPM 2 frame and is drawn above it.
    auto* commandD =
        ui::button(client, tr("ディレイタイム(&D)..."), ui::font(9), twips(3360, 1800, 1695, 255));
    commandD->setObjectName("CommandD");
    commandD->raise();

    // "--" and ">" together draw an arrow from BPM 1 to BPM 2. The dashes must end where the head
    // begins: where no face like Arial is installed, the Japanese face stands in, whose dashes run
    // wider, and the second dash would run into the head ("- ->").
    ui::CaptionLabel* arrowShaft =
        ui::label(client, "--", ui::font(15.75, false, "Arial"), twips(2670, 1005, 375, 255));
    arrowShaft->setObjectName("Label2");
    arrowShaft->setRoom(ui::px(2880 - 2670));
    ui::label(client, ">", mainWindowFont(), twips(2880, 1110, 375, 375))->setObjectName("Label3");

    const QFont bold12 = ui::font(12, true);
    const QFont regular12 = ui::font(12);
    QGroupBox* frameC = ui::frame(client, tr("ピッチ調整"), bold12, twips(1920, 2520, 3375, 2535));
    frameC->setObjectName("FrameC");
    m_pitchBox = ui::displayBox(frameC, "0", bold12, twips(2160, 480, 975, 375));
    m_pitchBox->setObjectName("TextC0");
    m_pitchBox->setAccessibleName(tr("ピッチ調整"));

    QGroupBox* sampler = ui::frame(frameC, tr("サンプラー"), mainWindowFont(), twips(240, 960, 2895, 1455));
    sampler->setObjectName("Frame1");
    ui::CaptionLabel* semitoneLabel = ui::label(sampler, tr("半音"), regular12, twips(360, 480, 1335, 255));
    semitoneLabel->setObjectName("LabelC3");
    m_semitoneBox = ui::displayBox(sampler, "0", bold12, twips(1920, 360, 732, 360));
    m_semitoneBox->setObjectName("TextC3");
    m_semitoneBox->setAccessibleName(tr("半音"));
    semitoneLabel->setBuddy(m_semitoneBox);
    ui::CaptionLabel* centLabel = ui::label(sampler, tr("セント"), regular12, twips(360, 960, 1335, 255));
    centLabel->setObjectName("LabelC0");
    m_centBox = ui::displayBox(sampler, "0", bold12, twips(1920, 840, 732, 360));
    m_centBox->setObjectName("TextC4");
    m_centBox->setAccessibleName(tr("セント"));
    centLabel->setBuddy(m_centBox);
    // "( 1/100半音)" lies over the end of the place of "セント", which must end where it begins; its
    // own place runs a pixel into the cents box.
    ui::CaptionLabel* centUnit =
        ui::label(sampler, tr("( 1/100半音)"), ui::font(8.25), twips(960, 1080, 975, 255));
    centUnit->setObjectName("Label1");
    centUnit->setRoom(ui::px(1920 - 960));
    centLabel->setRoom(ui::px(960 - 360));

    m_calculateButton = ui::button(client, tr("計算！"), ui::font(10.5, true), twips(360, 3600, 1335, 975));
    m_calculateButton->setObjectName("Command1");
    m_calculateButton->setDefault(true);
    auto* command2 = ui::button(client, tr("終了(&X)"), ui::font(9.75), twips(360, 4680, 1335, 255));
    command2->setObjectName("Command2");

    // Two controls lie below the client area and are never seen; they keep their design places,
    // and screen readers are not offered them.
    ui::CaptionLabel* label4 = ui::label(client, "Label4", mainWindowFont(), twips(240, 5520, 975, 255));
    label4->setObjectName("Label4");
    auto* dammy = ui::button(client, " ", mainWindowFont(), twips(4200, 6480, 132, 732));
    dammy->setObjectName("Dammy");
    dammy->setEnabled(false);
    ui::keepFromReaders(label4);
    ui::keepFromReaders(dammy);

    // Keyboard order: BPM 1's box, tap button and slider, the same for BPM 2, then the buttons.
    // Each entry orders its own three controls.
    QWidget::setTabOrder(m_tempoEntries[0]->slider(), m_tempoEntries[1]->textBox());
    QWidget* const order[] = {m_tempoEntries[1]->slider(), commandD, m_calculateButton, command2};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    m_tempoEntries[0]->textBox()->setFocus(); // where the window opens

    connect(m_tempoEntries[0], &TempoEntry::sliderChanged, this, &MainWindow::HScroll0_Change);
    connect(m_tempoEntries[1], &TempoEntry::sliderChanged, this, &MainWindow::HScroll1_Change);
    connect(m_tempoEntries[0], &TempoEntry::tapClicked, this, &MainWindow::CommandTA_Click);
    connect(m_tempoEntries[1], &TempoEntry::tapClicked, this, &MainWindow::CommandTB_Click);
    connect(commandD, &QPushButton::clicked, this, &MainWindow::CommandD_Click);
    connect(m_calculateButton, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(command2, &QPushButton::clicked, this, &MainWindow::Command2_Click);

    m_sampleTempo = new SampleTempo(this);
    for (int i = 0; i < 2; ++i)
        connect(m_tempoEntries[i], &TempoEntry::fileDropped, this,
                [this, i](const QString& file) { FrameBPM_FileDrop(i, file); });
    connect(m_sampleTempo, &SampleTempo::tempoChosen, this, &MainWindow::sampleTempoChosen);
}

void MainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
    file->setObjectName("menu_File");
    file->addAction(tr("計算実行(&C)"), this, &MainWindow::Menu_calculate_Click)
        ->setObjectName("Menu_calculate");
    file->addAction(tr("サンプルのテンポ(&W)..."), this, &MainWindow::menu_sampletempo_Click)
        ->setObjectName("menu_sampletempo");
    file->addAction(tr("サンプルのテンポ (BPM 2)(&V)..."), this, &MainWindow::menu_sampletempo2_Click)
        ->setObjectName("menu_sampletempo2");
    file->addSeparator()->setObjectName("Menu_bar");
    file->addAction(tr("終了(&X)"), this, &MainWindow::menu_exit_Click)->setObjectName("menu_exit");

    QMenu* options = menuBar()->addMenu(tr("オプション(&R)"));
    options->setObjectName("Menu_options");
    options->addAction(tr("ディレイタイム(&D)"), this, &MainWindow::CommandD_Click)
        ->setObjectName("manu_delay");
    options->addAction(tr("BPM1をタップ(&1)"), this, &MainWindow::CommandTA_Click)
        ->setObjectName("menu_tap0");
    options->addAction(tr("BPM2をタップ(&2)"), this, &MainWindow::CommandTB_Click)
        ->setObjectName("menu_tap1");
    options->addAction(tr("サンプル(&S)..."), this, &MainWindow::menu_sample_Click)
        ->setObjectName("menu_sample");

    QMenu* help = menuBar()->addMenu(tr("ヘルプ(&H)"));
    help->setObjectName("Menu_help");
    help->addAction(tr("作者情報..."), this, &MainWindow::Manu_credit_Click)->setObjectName("Manu_credit");
    help->addAction(tr("マニュアル表示（&L）"), this, &MainWindow::menu_manual_Click)
        ->setObjectName("menu_manual");
}

void MainWindow::placeWindow()
{
    // A quarter of the free width from the left, centred vertically. What is placed is the whole
    // window with the frame the window manager gives it, so the frame is asked for before the
    // window is shown: placed first and corrected once the frame exists, the window would be seen
    // to jump. The delay window reuses the answer rather than asking again.
    adjustSize();
    Platform& platform = Platform::current();
    m_frame = platform.frameMargins(*this);
    ui::placeOnScreen(*this, platform.screenSize(), m_frame, {4, 1}, {2, 1});
}

void MainWindow::calc_pitch()
{
    iserr = kAccepted;
    const std::optional<std::array<double, 2>> tempo = validTempos();
    if (!tempo) {
        rejectTempos(); // one message per run, however many entries are bad
        return;
    }

    const PitchShift shift = pitchShift((*tempo)[0], (*tempo)[1]);
    m_pitchBox->setText(QString::fromStdString(shift.adjustmentText));
    m_semitoneBox->setText(QString::fromStdString(shift.semitonesText));
    m_centBox->setText(QString::fromStdString(shift.centsText));

    delayWindow()->setBpmText(m_tempoEntries[1]->text());
    // The loop that plays follows every accepted pair, a slider's drag included; a rejected tempo
    // never reaches it.
    if (m_sample)
        m_sample->setTempos((*tempo)[0], (*tempo)[1]);

    // Moving a slider re-enters through its change handler, which rewrites that entry from the new
    // position and calculates again. The nested run finds its slider already in place, so each
    // slider moves at most once and the nesting stops at two levels.
    m_tempoEntries[1]->alignSlider();
    m_tempoEntries[0]->alignSlider();
}

std::optional<std::array<double, 2>> MainWindow::validTempos() const
{
    // BPM 1 first; when it fails, BPM 2 is not looked at.
    std::array<double, 2> tempo{};
    for (int i = 0; i < 2; ++i) {
        tempo[i] = m_tempoEntries[i]->value();
        if (!bpm::inRange(tempo[i]))
            return std::nullopt;
    }
    return tempo;
}

void MainWindow::rejectTempos()
{
    Platform& platform = Platform::current();
    platform.beep();
    platform.show(this, {Message::Icon::Exclamation, Message::Buttons::Ok, tr("BPMエラー"),
                         tr("入力するBPMは1～250の範囲です。")});
    // Both entries go back to the tempo their sliders hold, BPM 2 first.
    m_tempoEntries[1]->showSliderTempo();
    m_tempoEntries[0]->showSliderTempo();
    iserr = kRejected;
}

void MainWindow::HScroll0_Change()
{
    m_tempoEntries[0]->showSliderTempo();
    calc_pitch();
}

void MainWindow::HScroll1_Change()
{
    m_tempoEntries[1]->showSliderTempo();
    calc_pitch();
}

void MainWindow::Command1_Click()
{
    calc_pitch();
}

void MainWindow::Menu_calculate_Click()
{
    calc_pitch();
}

void MainWindow::menu_sampletempo_Click()
{
    askForSample(0);
}

void MainWindow::menu_sampletempo2_Click()
{
    askForSample(1);
}

void MainWindow::askForSample(int entry)
{
    // The file chosen goes the way of a file dropped on the entry.
    const QString file = Platform::current().openFileName(
        this, tr("サンプルのテンポ (BPM %1)").arg(entry + 1), SampleTempo::fileFilter());
    if (!file.isEmpty())
        FrameBPM_FileDrop(entry, file);
}

void MainWindow::FrameBPM_FileDrop(int entry, const QString& file)
{
    m_sampleTempo->read(entry, file);
}

void MainWindow::readSampleAtStart(const QString& file)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    QTimer::singleShot(0, this, [this, path] { FrameBPM_FileDrop(0, path); });
}

void MainWindow::sampleTempoChosen(int entry, const ChosenTempo& chosen)
{
    // As if the tempo had been typed and Calculate pressed, except that the slider is placed first
    // and quietly, as for a restored tempo: moved by the calculation, its change would rewrite a
    // found 133.3333 to its own tenth (133.3).
    TempoEntry* target = m_tempoEntries.at(entry);
    target->setText(chosen.text);
    if (validTempos())
        target->alignSliderQuietly();
    calc_pitch();
    // Only a reading BPM 1 kept is the sample's: a rejection puts BPM 1 back to its slider's tempo.
    if (entry != 0 || iserr != kAccepted)
        return;
    showSampleWindow();
    m_sample->setSample(chosen);
}

void MainWindow::menu_sample_Click()
{
    calc_pitch();
    if (iserr == kRejected)
        return;
    showSampleWindow();
}

void MainWindow::showSampleWindow()
{
    if (!m_sample) {
        m_sample = new SampleWindow;
        m_sample->setWindowIcon(windowIcon());
        // Made right after an accepted calculation, whose tempos it takes.
        if (const std::optional<std::array<double, 2>> tempo = validTempos())
            m_sample->setTempos((*tempo)[0], (*tempo)[1]);
        placeSampleWindow();
    }
    ui::bringToFront(m_sample);
}

void MainWindow::placeSampleWindow()
{
    // Its first place is beside this window, never over it: the sliders stay in reach while the
    // loop plays. Below when the screen has room, else to the right, else above; with no room
    // anywhere, the window manager decides.
    const QScreen* screen = this->screen();
    if (!screen || !isVisible())
        return;
    const QRect room = screen->availableGeometry();
    const QRect main = frameGeometry();
    const QSize size = m_sample->size().grownBy(m_frame);
    const QPoint places[] = {{main.left(), main.bottom() + 1},
                             {main.right() + 1, main.top()},
                             {main.left(), main.top() - size.height()}};
    for (QPoint place : places) {
        place.setX(
            std::clamp(place.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width())));
        if (room.contains(QRect(place, size))) {
            m_sample->move(place);
            return;
        }
    }
}

void MainWindow::Command2_Click()
{
    Terminate();
}

void MainWindow::menu_exit_Click()
{
    Terminate();
}

void MainWindow::Terminate()
{
    if (iserr == kShuttingDown)
        return; // the close below comes back through Form_QueryUnload; let it through

    calc_pitch(); // save what the window shows
    if (iserr == kRejected) {
        const bool exitAnyway = Platform::current().show(
            this, {Message::Icon::Exclamation, Message::Buttons::OkCancel, tr("自動保存アラート..."),
                   tr("テンポ値が不適切でした。\n変更前の値が自動保存されますが、終了しますか？")});
        if (!exitAnyway || iserr == kShuttingDown)
            return; // cancelled, or a shutdown from outside ran while the question was open
    }

    const bool saved = write_init();

    iserr = kShuttingDown;
    m_sampleTempo->cancel();
    delete m_delay;
    delete m_sample;
    delete m_tap;
    close();
    delete m_manual;
    // A script or session manager can tell from the status that this run's settings were lost.
    Platform::current().quit(saved ? 0 : 1);
}

void MainWindow::terminateUnattended()
{
    const Unattended nobodyThere;
    Terminate();
}

void MainWindow::Form_QueryUnload(bool& cancel)
{
    Terminate();
    if (iserr == kRejected)
        cancel = true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (cancel)
        event->ignore();
    else
        event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter anywhere in the window, a tempo box included, is the Calculate button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_calculateButton->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The window opens with the text of the focused box selected, as Tab leaves it, so that the first
    // keys typed replace the tempo: added to it, 98 typed into "120" reads 98120 and is rejected.
    // The focus the window gets from the desktop selects nothing by itself. Coming back from being
    // minimised is no opening.
    if (event->spontaneous())
        return;
    if (auto* box = qobject_cast<QLineEdit*>(focusWidget()))
        box->selectAll();
}

DelayWindow* MainWindow::delayWindow()
{
    if (!m_delay) {
        m_delay = new DelayWindow(*this);
        m_delay->setWindowIcon(windowIcon());
    }
    return m_delay;
}

void MainWindow::CommandD_Click()
{
    calc_pitch();
    if (iserr == kRejected)
        return;
    DelayWindow* delay = delayWindow();
    delay->setBpmText(m_tempoEntries[1]->text());
    ui::bringToFront(delay);
}

void MainWindow::CommandTA_Click()
{
    openTap(0);
}

void MainWindow::CommandTB_Click()
{
    openTap(1);
}

void MainWindow::openTap(int entry)
{
    calc_pitch();
    if (iserr == kRejected)
        return;
    tap_ref = static_cast<qint16>(entry);
    // Modal without a nested event loop: the main window takes no input until the tap window closes.
    m_tap = new TapWindow(*this, this);
    m_tap->setAttribute(Qt::WA_DeleteOnClose);
    m_tap->setWindowModality(Qt::ApplicationModal);
    m_tap->show();
}

void MainWindow::menu_manual_Click()
{
    if (!m_manual) {
        m_manual = new ManualWindow;
        m_manual->setAttribute(Qt::WA_DeleteOnClose);
        m_manual->setWindowIcon(windowIcon());
    }
    ui::bringToFront(m_manual);
}

void MainWindow::Manu_credit_Click()
{
    Platform::current().show(this,
                             {Message::Icon::Information, Message::Buttons::Ok,
                              QString("Korvo ") + build::kVersionText, tr("プログラム: Korvo 開発チーム")});
}

void MainWindow::load_init()
{
    const std::optional<QByteArray> bytes = m_store.read();
    if (!bytes)
        return; // first start: the design values stay
    const settings::Stored stored =
        settings::parse(std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())));
    if (stored.bpm1)
        m_tempoEntries[0]->setText(QString::fromStdString(*stored.bpm1));
    if (stored.bpm2)
        m_tempoEntries[1]->setText(QString::fromStdString(*stored.bpm2));
    // Slider positions are not saved; they follow from the restored tempos. Placing them quietly,
    // before the start-up calculation, keeps a restored 133.3333 as it was saved: placed by that
    // calculation instead, the slider's change would rewrite the text to its own tenth (133.3).
    // With a tempo the calculation is about to reject, both stay at their design position, which
    // is what the rejection then restores the entries to.
    if (validTempos()) {
        for (TempoEntry* entry : m_tempoEntries)
            entry->alignSliderQuietly();
    }

    // Touching the selections loads the delay window, which then already sees the restored BPM 2.
    // An index the file did not give usably leaves that list at its default.
    DelayWindow* delay = delayWindow();
    if (stored.note)
        delay->setNoteIndex(*stored.note);
    if (stored.modifier)
        delay->setModifierIndex(*stored.modifier);
    if (stored.format)
        delay->setFormatIndex(*stored.format);
}

namespace {

// What a failed save tells the user: what went wrong in words of our own, the file, and whether
// the settings from before are still there for the next start.
QString saveFailureText(const settings::Store::SaveResult& result)
{
    using Failure = settings::Store::Failure;
    QString reason;
    switch (result.failure) {
    case Failure::NoPermission:
        reason = MainWindow::tr("保存先に書き込む権限がありません。");
        break;
    case Failure::DiskFull:
        reason = MainWindow::tr("ディスクの空き容量が足りません。");
        break;
    case Failure::FolderMissing:
        reason = MainWindow::tr("保存先のフォルダが見つかりません。");
        break;
    case Failure::FileInUse:
        reason = MainWindow::tr("保存先のファイルをほかのプログラムが使用しています。");
        break;
    case Failure::Unreadable:
        reason = MainWindow::tr("保存先のファイルを読み込めないため、上書きしませんでした。");
        break;
    case Failure::ReadOnly:
        reason = MainWindow::tr("保存先は読み取り専用の場所です。");
        break;
    case Failure::TooManyFiles:
        reason = MainWindow::tr("保存先のファイル数が上限に達しています。");
        break;
    case Failure::None:
    case Failure::Other:
        reason = MainWindow::tr("ファイルを書き込めませんでした。");
        break;
    }
    const QString outcome = result.earlierKept ? MainWindow::tr("前回までの設定はそのまま残っています。")
                                               : MainWindow::tr("次回は初期値で起動します。");
    return MainWindow::tr("設定を保存できませんでした。%1\n%2\n%3").arg(reason, result.path, outcome);
}

} // namespace

bool MainWindow::write_init()
{
    DelayWindow* delay = delayWindow();
    const settings::ToSave values{m_tempoEntries[0]->value(), m_tempoEntries[1]->value(), delay->noteIndex(),
                                  delay->modifierIndex(), delay->formatIndex()};
    const settings::Store::SaveResult result =
        m_store.save(QByteArray::fromStdString(settings::format(values)));
    if (!result.ok)
        Platform::current().show(
            this, {Message::Icon::Critical, Message::Buttons::Ok, tr("保存エラー"), saveFailureText(result)});
    return result.ok;
}

QMargins MainWindow::windowFrame() const
{
    return m_frame;
}

QString MainWindow::bpm2Text() const
{
    return m_tempoEntries[1]->text();
}

void MainWindow::showMainWindow()
{
    ui::bringToFront(this);
}

QString MainWindow::entryText(int entry) const
{
    return m_tempoEntries.at(entry)->text();
}

void MainWindow::setEntryText(int entry, const QString& text)
{
    m_tempoEntries.at(entry)->setText(text);
}

} // namespace korvo

#include "mainwindow.moc"
