#pragma once

#include "delay/delaycalc.h"

#include <QtGlobal>
#include <array>

// The words of the delay window's three lists, in list order, as the translations know them: a
// window shows each through QCoreApplication::translate("korvo::DelayWindow", item).
namespace korvo::delay {

inline constexpr std::array<const char*, kNoteCount> kNoteItems = {
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "全音符 whole"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "2分音符 half"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "4分音符 quarter"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "8分音符 8th"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "16分音符 16th"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "32分音符 32th"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "64分音符 64th"),
};

inline constexpr std::array<const char*, kModifierCount> kModifierItems = {
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "ちょうど just"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "付点( . )"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "付々点 ( . . )"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "2倍"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "3倍"),
    "1/2",
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "1/3(三連 triplet)"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "2/3(三連)"),
    "1/5",
    "1/7",
    "1/9",
};

// Full-width "Ｍｉｄｉ", and a blank before the two-digit timebases so the numbers line up.
inline constexpr std::array<const char*, kFormatCount> kFormatItems = {
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "タイム・フォーマット(なし)"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "Ｍｉｄｉ タイムベース=480"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "Ｍｉｄｉ タイムベース= 96"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "Ｍｉｄｉ タイムベース= 48"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "フレームレート = 24"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "フレームレート = 29.97"),
    QT_TRANSLATE_NOOP("korvo::DelayWindow", "フレームレート = 30"),
};

} // namespace korvo::delay
