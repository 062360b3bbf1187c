// Renders every window of Korvo to PNG for the README: `korvo_screenshots <folder> [ja|en]`, in
// Japanese unless told (the English files get an "-en" suffix). Run it under
// QT_QPA_PLATFORM=offscreen; with QT_SCALE_FACTOR=2 the files get a "-2x" suffix too.

#include "app/appicon.h"
#include "app/mainwindow.h"
#include "audio/defaultengine.h"
#include "audio/engineloader.h"
#include "drumloop.h"
#include "fakeplatform.h"
#include "sample/sampleanalysis.h"
#include "sample/sampletempodialog.h"
#include "sample/samplewindow.h"
#include "ui/applicationsetup.h"
#include "ui/language.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>

namespace {

class Shooter
{
public:
    Shooter(QString folder, const QString& language) : m_folder(std::move(folder))
    {
        // One set of files per language and device pixel ratio, so the README can offer them all.
        if (language != "ja")
            m_suffix = "-" + language;
        const int ratio = qRound(qApp->devicePixelRatio());
        if (ratio != 1)
            m_suffix += QStringLiteral("-%1x").arg(ratio);
    }

    void shoot(QWidget* widget, const QString& name)
    {
        // Let show and polish events settle, so the grab sees the final layout and fonts.
        QApplication::processEvents();
        const QString path = QDir(m_folder).filePath(name + m_suffix + QStringLiteral(".png"));
        if (widget->grab().save(path))
            std::printf("%s\n", qPrintable(path));
        else
            failures << path;
    }

    QStringList failures;

private:
    QString m_folder;
    QString m_suffix;
};

// Built the way the real platform builds its range message, but shown without waiting.
void shootRangeError(Shooter& shooter, QWidget* parent)
{
    QMessageBox box(parent);
    box.setWindowTitle(QCoreApplication::translate("korvo::MainWindow", "BPMエラー"));
    box.setText(QCoreApplication::translate("korvo::MainWindow", "入力するBPMは1～250の範囲です。"));
    box.setIcon(QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.setWindowModality(Qt::NonModal);
    box.show();
    shooter.shoot(&box, QStringLiteral("bpm-error"));
    box.close();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString language = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("ja");
    if (argc < 2 || argc > 3 || (language != "ja" && language != "en")) {
        std::fprintf(stderr, "usage: %s <output folder> [ja|en]\n", argv[0]);
        return 2;
    }
    QApplication::setApplicationName("korvo");
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(korvo::appIcon());
    korvo::ui::setupApplication();
    korvo::ui::useLanguage(language == "en" ? korvo::ui::Language::English : korvo::ui::Language::Japanese);
    korvo::audio::DefaultEngine engine; // the sample window's, without the module's loading
    korvo::audio::setEngine(&engine);

    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "korvo_screenshots: cannot create %s\n", argv[1]);
        return 1;
    }

    // The pictures must not depend on the machine: the tests' fake platform gives a fixed screen, a
    // clock that moves only when told, and no real message box that would wait for a click. Any
    // message it records means a scene did not come out as intended.
    FakePlatform platform;
    platform.now = 1000.0;
    QTemporaryDir settingsDir; // the pictures start from the design values, not from a saved file
    Shooter shooter(folder, language);
    {
        korvo::MainWindow window(korvo::settings::Store(settingsDir.path(), settingsDir.path() + "/config"));
        window.show();

        window.tempoEntry(0)->textBox()->setText(QStringLiteral("120"));
        window.tempoEntry(1)->textBox()->setText(QStringLiteral("130"));
        window.Command1_Click();
        shooter.shoot(&window, QStringLiteral("main"));

        // A quarter note, dotted, as MIDI ticks at 480: the option box and its unit are shown.
        window.CommandD_Click();
        korvo::DelayWindow* delay = window.delayWindow();
        delay->setNoteIndex(2);
        delay->setModifierIndex(1);
        delay->setFormatIndex(1);
        shooter.shoot(delay, QStringLiteral("delay"));
        delay->hide();

        // Five taps half a second apart on BPM 2: four intervals of 120 BPM pull 130 down to 123.1.
        window.CommandTB_Click();
        for (int i = 0; i < 5; ++i) {
            platform.now += 0.5;
            window.tapWindow()->Command1_Click();
        }
        shooter.shoot(window.tapWindow(), QStringLiteral("tap"));
        window.tapWindow()->close();

        window.menu_manual_Click();
        shooter.shoot(window.manualWindow(), QStringLiteral("manual"));
        window.manualWindow()->close();

        shootRangeError(shooter, &window);

        // A four-bar loop at 97.5, read for BPM 1: the reading's dialog, then the sample window
        // with the loop decoded, its grid drawn.
        const QString loop = settingsDir.filePath(QStringLiteral("break 97.5bpm.wav"));
        korvo::test::DrumLoop drums;
        drums.bpm = 97.5;
        drums.beats = 16;
        if (!korvo::test::writeDrumLoop(loop.toStdString(), drums))
            shooter.failures << loop;
        const korvo::sample::Analysis analysis = korvo::sample::analyseFile(loop.toStdString());
        {
            korvo::SampleTempoDialog dialog(QStringLiteral("break 97.5bpm.wav"), analysis, 0, &window);
            dialog.setWindowModality(Qt::NonModal);
            dialog.show();
            shooter.shoot(&dialog, QStringLiteral("sample-tempo"));
        }
        window.sampleTempoChosen(0, {loop, QStringLiteral("97.5"), analysis.choice.tempo,
                                     analysis.choice.beats, analysis.seconds});
        QElapsedTimer waited;
        waited.start();
        while (window.sampleWindow()->isDecoding() && waited.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        shooter.shoot(window.sampleWindow(), QStringLiteral("sample"));
        window.sampleWindow()->hide();

        window.iserr = korvo::MainWindow::kShuttingDown; // taking the pictures is not the user quitting:
                                                         // nothing is saved
    }

    for (const korvo::Message& message : platform.messages)
        std::fprintf(stderr, "korvo_screenshots: unexpected message: %s: %s\n", qPrintable(message.title),
                     qPrintable(message.text));
    for (const QString& path : shooter.failures)
        std::fprintf(stderr, "korvo_screenshots: could not write %s\n", qPrintable(path));
    return platform.messages.isEmpty() && shooter.failures.isEmpty() ? 0 : 1;
}
