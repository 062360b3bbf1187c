#include "app/tempocommand.h"

#include "pitch/numbertext.h"
#include "sample/sampleanalysis.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace korvo {

bool isTempoCommand(int argc, char* argv[])
{
    return argc >= 2 && std::strcmp(argv[1], "--tempo") == 0;
}

std::optional<int> tempoCommand(int argc, char* argv[], std::FILE* out, std::FILE* err)
{
    if (!isTempoCommand(argc, argv))
        return std::nullopt;
    if (argc == 2) {
        std::fprintf(err, "korvo: --tempo のあとに音声ファイルを指定してください（korvo --tempo FILE...）\n");
        return 2;
    }
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        // A path from a char string would be read in the Windows code page.
        const std::filesystem::path file(std::u8string_view(reinterpret_cast<const char8_t*>(argv[i])));
        // UTF-8 on every system: string() would convert to the Windows code page, and throw on a
        // name it cannot hold.
        const std::u8string u8name = file.filename().u8string();
        const std::string name(u8name.begin(), u8name.end());
        const sample::Analysis a = sample::analyseFile(file);
        if (a.failure != sample::Failure::None) {
            std::fprintf(out, "%s\t読み取れません: %s\n", name.c_str(),
                         sample::failureReason(a.failure).c_str());
            status = 1;
            continue;
        }
        const std::string estimate = a.estimate > 0 ? roundedText(a.estimate, 2) : "なし";
        std::fprintf(out, "%s\t%s秒\t推定 %s\tテンポ %s\t%s\n", name.c_str(),
                     roundedText(a.seconds, 3).c_str(), estimate.c_str(), a.choice.text.c_str(),
                     sample::choiceReason(a).c_str());
    }
    return status;
}

} // namespace korvo
