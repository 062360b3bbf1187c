#include "sample/samplewords.h"

#include "pitch/numbertext.h"

#include <cmath>

namespace korvo {

QString SampleWords::failureReason(sample::Failure failure)
{
    using sample::Failure;
    switch (failure) {
    case Failure::None:
        return {};
    case Failure::CannotOpen:
        return tr("ファイルを開けません。");
    case Failure::Unsupported:
        return tr("対応していないファイル形式です。");
    case Failure::Damaged:
        return tr("ファイルが壊れているか、途中で切れています。");
    case Failure::Empty:
        return tr("音が入っていません（長さが0です）。");
    case Failure::Silent:
        return tr("無音です。");
    case Failure::TooShort:
        return tr("短すぎます（0.24秒未満）。");
    case Failure::NoBeat:
        return tr("拍が見つかりませんでした（持続音や雑音のようです）。");
    case Failure::NoTempo:
        return tr("テンポが見つかりませんでした。");
    case Failure::Cancelled:
        return tr("中止しました。");
    }
    return {};
}

QString SampleWords::beats(int beats)
{
    // Bars only where the metre is plain: 12 beats may be three bars of 4/4 or four of 3/4.
    if (beats >= 4 && beats % 4 == 0 && beats % 3 != 0)
        return tr("%1拍（%n小節）", nullptr, beats / 4).arg(beats);
    return tr("%n拍", nullptr, beats);
}

QString SampleWords::offset(const sample::TempoChoice& choice)
{
    const long ms = std::lround(std::fabs(choice.offset) * 1000);
    if (choice.beats <= 0 || ms == 0)
        return {};
    const QString of = beats(choice.beats);
    const bool longer = choice.offset > 0;
    // A trim is milliseconds; a ringing tail or a long silence reads better in seconds.
    if (ms < 1000)
        return (longer ? tr("%1より%2ミリ秒長い") : tr("%1より%2ミリ秒短い")).arg(of).arg(ms);
    const QString seconds = QString::fromStdString(roundedText(std::fabs(choice.offset), 2));
    return (longer ? tr("%1より%2秒長い") : tr("%1より%2秒短い")).arg(of, seconds);
}

QString SampleWords::choiceReason(const sample::Analysis& analysis, bool withOffset)
{
    using sample::ChoiceReason;
    const sample::TempoChoice& choice = analysis.choice;
    const QString offsetWords = withOffset ? offset(choice) : QString();
    // The reason, and in brackets how far the length is off, when it is.
    const auto noted = [&offsetWords](const QString& reason) {
        return offsetWords.isEmpty() ? reason : tr("%1（%2）").arg(reason, offsetWords);
    };
    switch (choice.reason) {
    case ChoiceReason::Loop:
        return noted(tr("%1のループ").arg(beats(choice.beats)));
    case ChoiceReason::Acid:
        return noted(tr("ファイルのループ情報から"));
    case ChoiceReason::Name:
        return noted(tr("ファイル名のBPMから"));
    case ChoiceReason::Mismatch:
        return noted(tr("長さが拍と合わないため拍から"));
    case ChoiceReason::Estimate:
        return tr("ループではないため拍から");
    case ChoiceReason::NoBeat:
        return failureReason(sample::Failure::NoBeat);
    case ChoiceReason::NotFound:
        break;
    }
    return failureReason(sample::Failure::NoTempo);
}

} // namespace korvo
