#include "ui/layout.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>

namespace korvo::ui {

namespace {

// The installed family that stands in for each design face, filled in by setupApplication().
// Asking for that family by name, rather than for the design face through a substitution, spares
// Qt a failed lookup and a fontconfig fallback search for every font it loads: about a fifth of
// the work of start-up.
QHash<QString, QString>& standIns()
{
    static QHash<QString, QString> faces;
    return faces;
}

void mapFace(const QString& design, const QStringList& installed)
{
    // The substitution still serves any font built from the design name outside font().
    QFont::insertSubstitutions(design, installed);
    for (const QString& family : installed) {
        if (QFontDatabase::hasFamily(family)) {
            standIns().insert(design, family);
            return;
        }
    }
}

} // namespace

QFont font(double points, bool bold, const char* face)
{
    const QString design = QString::fromUtf8(face);
    QFont f(standIns().value(design, design));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QFont windowFont()
{
    return font(9);
}

void setupApplication()
{
    mapFace(QString::fromUtf8(kJapaneseFace),
            {"IPAPGothic", "IPA Pゴシック", "Noto Sans CJK JP", "VL PGothic", "TakaoPGothic", "IPAGothic"});
    mapFace("Arial", {"Liberation Sans", "Arimo", "Nimbus Sans", "DejaVu Sans"});
    QApplication::setFont(windowFont());

    // The whole interface is Japanese, so Qt's own texts (OK/キャンセル, context menus) are too,
    // whatever the system language.
    static QTranslator translator;
    if (translator.load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

QGroupBox* frame(QWidget* parent, const QString& title, const QFont& font, QRect rect)
{
    auto* box = new QGroupBox(title, parent);
    box->setFont(font);
    box->setGeometry(rect);
    // The caption sits on the frame's top line, so the line runs half a caption height below the
    // frame's top edge and the controls placed inside keep clear of it. Most desktop styles put the
    // caption above the line instead, which would push the line into the first row of controls.
    box->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 3px;"
                       " margin-top: 0.5em; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
    // A frame inside a frame would otherwise be announced by the outer frame's caption.
    box->setAccessibleName(title);
    return box;
}

QLabel* label(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    l->setGeometry(rect);
    // Captions are drawn from the top-left corner of their place, as the layout assumes.
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QPushButton* button(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* b = new QPushButton(text, parent);
    b->setFont(font);
    b->setGeometry(rect);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* textBox(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* e = new QLineEdit(text, parent);
    e->setFont(font);
    e->setGeometry(rect);
    return e;
}

QLineEdit* displayBox(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* e = textBox(parent, text, font, rect);
    e->setReadOnly(true);
    e->setEnabled(false);
    e->setFocusPolicy(Qt::NoFocus);
    QPalette palette = e->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text, Qt::black);
    e->setPalette(palette);
    return e;
}

} // namespace korvo::ui
