#pragma once

#include "ui/platform.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// Stands in for the machine while it lives: records every beep, message and clipboard text,
// answers questions from a script (OK when the script is empty) and file questions, to open or to
// save, from another (cancelled when it is empty), and runs a clock that only moves when a test
// moves it.
class FakePlatform final : public korvo::Platform
{
public:
    FakePlatform() { Platform::install(this); }
    ~FakePlatform() override { Platform::install(nullptr); }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    void beep() override { ++beeps; }
    bool show(QWidget*, const korvo::Message& message) override
    {
        messages.append(message);
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    QSize screenSize() override { return screen; }
    QMargins frameMargins(QWidget&) override { return frame; }
    double seconds() override { return now; }
    void setClipboardText(const QString& text) override { clipboard = text; }
    QString openFileName(QWidget*, const QString& title, const QString&) override
    {
        fileQuestions << title;
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString saveFileName(QWidget*, const QString&, const QString& proposed, const QString&) override
    {
        proposals << proposed;
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    void quit(int status) override
    {
        ++quits;
        quitStatus = status;
    }

    int beeps = 0;
    QList<korvo::Message> messages;
    QList<bool> answers; // next answers, true for OK
    QSize screen = korvo::kDefaultScreenSize;
    QMargins frame; // none, as offscreen
    double now = 0;
    QString clipboard;
    QStringList fileQuestions; // the titles of the file questions asked
    QStringList proposals;     // the paths the save questions started from
    QStringList files;         // the next answers to either question; cancelled when none is left
    int quits = 0;
    int quitStatus = -1; // the exit status of the last quit
};
