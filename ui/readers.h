#pragma once

#include <QAccessible>

class QWidget;
struct QMetaObject;

// What screen readers are offered of a window: what a person sees of it. Left to itself, Qt offers
// every child widget, those the layout keeps out of sight included, and presents a window that is a
// plain widget as a nameless part of some other ("filler"). Qt has no switch for either on one widget;
// both are settled here through the accessible interfaces of the containers.
namespace korvo::ui {

// Widgets of `type` are presented to screen readers in `role`, and their children without those kept
// from them below. Called before the first such widget is made (the type's constructor does).
void presentToReaders(const QMetaObject& type, QAccessible::Role role);

// A control the layout keeps out of sight, below its window's client area, and out of the tab order:
// it keeps its place, its name and its access key, but screen readers are not offered it among its
// container's children. The container's type is presented with presentToReaders().
void keepFromReaders(QWidget* control);

} // namespace korvo::ui
