#include "app/manualwindow.h"

#include "ui/language.h"
#include "ui/readers.h"
#include "ui/twips.h"

#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>

// The resource lives in a static library, where nothing else would keep its registration from
// being dropped by the linker. Q_INIT_RESOURCE must be used outside any namespace.
static void registerManualResource()
{
    Q_INIT_RESOURCE(manual);
}

namespace korvo {

QString manualText()
{
    static const bool registered = (registerManualResource(), true);
    (void)registered;
    QFile file(ui::currentLanguage() == ui::Language::English ? ":/manual/manual_en.txt"
                                                              : ":/manual/manual.txt");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

ManualWindow::ManualWindow(QWidget* parent) : QWidget(parent)
{
    // A window of its own on the desktop, for screen readers too.
    ui::presentToReaders(staticMetaObject, QAccessible::Window);
    setObjectName("Manu");
    setWindowTitle("Korvo Manual");
    setFixedSize(ui::px(6705), ui::px(5160));

    auto* text = new QPlainTextEdit(this);
    text->setObjectName("Text1");
    text->setGeometry(ui::twips(240, 120, 6255, 4815));
    // Japanese faces draw the backslash as a yen sign, as Japanese readers expect; the English text
    // takes the desktop's own face, at the same size, so that its paths read as paths.
    QFont font = ui::windowFont();
    if (ui::currentLanguage() == ui::Language::English) {
        const QFont general = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setFamilies(general.families());
    }
    text->setFont(font);
    text->setPlainText(manualText());
    // Read-only, yet the keyboard can still move a cursor to select and copy.
    text->setReadOnly(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->setAccessibleName("Korvo Manual");
    text->verticalScrollBar()->setAccessibleName(tr("表示位置"));
    text->setFocusPolicy(Qt::StrongFocus);
    text->setFocus(); // the only control, so the reader can scroll with the keys at once
}

void ManualWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace korvo
