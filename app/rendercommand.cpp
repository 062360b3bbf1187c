#include "app/rendercommand.h"

#include "app/tempocommand.h"
#include "audio/engineloader.h"
#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"
#include "pitch/pitchshift.h"
#include "sample/sampleanalysis.h"
#include "sample/samplewords.h"

#include <QCoreApplication>
#include <cmath>
#include <optional>

namespace korvo {

namespace {

std::optional<double> tempoOf(const std::string& text)
{
    const std::optional<double> value = readStrict(text);
    return value && bpm::inRange(*value) ? value : std::nullopt;
}

std::filesystem::path pathOf(const std::string& utf8)
{
    // A path from a char string would be read in the Windows code page.
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string utf8Of(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// The command's words in the interface's language.
std::string said(const char* text)
{
    return QCoreApplication::translate("RenderCommand", text).toStdString();
}

void complain(std::FILE* err, const char* text)
{
    std::fprintf(err, "korvo: %s\n", said(text).c_str());
}

void tell(std::FILE* err, const std::string& file, const std::string& reason)
{
    std::fprintf(err, "korvo: %s: %s\n", shownPath(file.c_str()).c_str(), reason.c_str());
}

} // namespace

std::filesystem::path renderPath(const std::filesystem::path& source, double tempo, int attempt)
{
    std::string name = utf8Of(source.stem()) + " " + numberText(tempo) + "bpm";
    if (attempt > 1)
        name += " (" + std::to_string(attempt) + ")";
    return source.parent_path() / pathOf(name + ".wav");
}

int renderCommand(const RenderRequest& request, audio::Engine* engine, std::FILE* out, std::FILE* err)
{
    const std::optional<double> target = tempoOf(request.tempo);
    const std::optional<double> from = request.from.empty() ? std::nullopt : tempoOf(request.from);
    if (!target || (!request.from.empty() && !from)) {
        complain(err, QT_TRANSLATE_NOOP("RenderCommand", "テンポは 1 から 250 までの数で指定してください。"));
        return 2;
    }
    if (request.files.empty()) {
        complain(err,
                 QT_TRANSLATE_NOOP("RenderCommand", "--render のあとにテンポと音声ファイルを指定してください"
                                                    "（korvo --render TEMPO FILE...）"));
        return 2;
    }
    if (!engine) {
        complain(err, QT_TRANSLATE_NOOP("RenderCommand", "音声の書き出しに使うモジュールが見つかりません。"));
        return 1;
    }
    const audio::Mode mode = request.keepPitch ? audio::Mode::KeepPitch : audio::Mode::WithPitch;
    int status = 0;
    bool written = true;
    for (const std::string& argument : request.files) {
        const std::vector<std::string> files = filesNamed(argument.c_str());
        if (files.empty()) {
            std::fprintf(err, "korvo: %s\n",
                         QCoreApplication::translate("RenderCommand", "%1 に一致するファイルがありません。")
                             .arg(QString::fromStdString(shownPath(argument.c_str())))
                             .toStdString()
                             .c_str());
            status = 1;
        }
        for (const std::string& name : files) {
            const std::filesystem::path file = pathOf(name);
            double tempo = from.value_or(0);
            int beats = 0;
            if (!from) {
                const sample::Analysis analysis = sample::analyseFile(file);
                if (analysis.failure != sample::Failure::None) {
                    tell(err, name, SampleWords::failureReason(analysis.failure).toStdString());
                    status = 1;
                    continue;
                }
                tempo = analysis.choice.tempo;
                beats = analysis.choice.beats;
            }
            const double speed = *target / tempo;
            if (!(speed >= audio::kSlowestSpeed && speed <= audio::kFastestSpeed)) {
                tell(err, name,
                     said(QT_TRANSLATE_NOOP("RenderCommand",
                                            "テンポの差が大きすぎます（4オクターブまで）。")));
                status = 1;
                continue;
            }
            audio::LoadFailure loadFailure = audio::LoadFailure::None;
            const std::shared_ptr<const audio::Loop> loop = engine->load(file, loadFailure, {});
            if (!loop) {
                tell(err, name,
                     said(loadFailure == audio::LoadFailure::TooLong
                              ? QT_TRANSLATE_NOOP("RenderCommand", "長すぎます（1時間まで）。")
                              : QT_TRANSLATE_NOOP("RenderCommand", "読めません。")));
                status = 1;
                continue;
            }
            if (beats <= 0)
                beats = static_cast<int>(std::lround(double(loop->frames()) / loop->sampleRate * tempo / 60));
            const audio::LoopInfo info{*target, beats};
            audio::WriteFailure failure = audio::WriteFailure::Exists;
            std::filesystem::path output;
            for (int attempt = 1; failure == audio::WriteFailure::Exists && attempt <= 1000; ++attempt) {
                output = renderPath(file, *target, attempt);
                failure = engine->render(*loop, mode, speed, info, output, {}, false);
            }
            if (failure != audio::WriteFailure::None) {
                tell(err, name, audio::writeFailureReason(failure).toStdString());
                status = 1;
                continue;
            }
            const std::string line = numberText(tempo) + "\t" + numberText(*target) + "\t" +
                                     pitchShift(tempo, *target).adjustmentText + "\t" +
                                     shownPath(utf8Of(output).c_str()) + "\n";
            written = written && std::fwrite(line.data(), 1, line.size(), out) == line.size();
        }
    }
    if (!written || std::fflush(out) != 0 || std::ferror(out)) {
        complain(err, QT_TRANSLATE_NOOP("RenderCommand", "結果を書き出せませんでした。"));
        return 1;
    }
    return status;
}

} // namespace korvo
