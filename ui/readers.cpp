#include "ui/readers.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QString>
#include <QVariant>
#include <QWidget>

namespace korvo::ui {

namespace {

// Marks a control kept from screen readers; read whenever its container lists its children, so the
// mark may come after the container's interface was made.
constexpr char kKeptFromReaders[] = "korvoKeptFromReaders";

QHash<QString, QAccessible::Role>& presentedTypes() // class name -> role
{
    static QHash<QString, QAccessible::Role> types;
    return types;
}

bool keptFromReaders(const QAccessibleInterface* iface)
{
    const QObject* object = iface ? iface->object() : nullptr;
    return object && object->property(kKeptFromReaders).toBool();
}

// Qt's own interface for a widget, in the role given and without the children kept from readers.
class SeenWidget final : public QAccessibleWidget
{
public:
    SeenWidget(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    int childCount() const override { return int(seenChildren().size()); }
    QAccessibleInterface* child(int index) const override { return seenChildren().value(index); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(seenChildren().indexOf(const_cast<QAccessibleInterface*>(child)));
    }

private:
    QList<QAccessibleInterface*> seenChildren() const
    {
        QList<QAccessibleInterface*> seen;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i) {
            QAccessibleInterface* c = QAccessibleWidget::child(i);
            if (c && !keptFromReaders(c))
                seen << c;
        }
        return seen;
    }
};

// Asked with the name of each class of the object in turn, the object's own first.
QAccessibleInterface* presentedWidget(const QString& className, QObject* object)
{
    const auto found = presentedTypes().constFind(className);
    if (found == presentedTypes().constEnd() || !object || !object->isWidgetType())
        return nullptr;
    return new SeenWidget(static_cast<QWidget*>(object), *found);
}

} // namespace

void presentToReaders(const QMetaObject& type, QAccessible::Role role)
{
    static const bool installed = (QAccessible::installFactory(&presentedWidget), true);
    (void)installed;
    presentedTypes().insert(QString::fromLatin1(type.className()), role);
}

void keepFromReaders(QWidget* control)
{
    control->setProperty(kKeptFromReaders, true);
}

} // namespace korvo::ui
