#include "app/commandline.h"

#include "app/rendercommand.h"
#include "app/tempocommand.h"
#include "app/version.h"
#include "audio/engineloader.h"
#include "ui/language.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>

namespace korvo {
namespace {

// What a command is given: the parsed line, for the values of its options, the arguments that are
// not options, byte for byte as typed, and where it prints.
struct CommandInput
{
    const QCommandLineParser& parser;
    const std::vector<std::string>& arguments;
    std::FILE* out;
    std::FILE* err;
};

// A command runs in place of the window and gives the exit status. Another command is another row
// here; options that only modify it are added beside the others in CommandLine's constructor.
struct Command
{
    const char* name;
    const char* valueName; // nullptr: the option takes no value
    const char* description;
    int (*run)(const CommandInput& input);
};

const Command kCommands[] = {
    {"tempo", nullptr,
     QT_TRANSLATE_NOOP(
         "CommandLine",
         "ウィンドウを開かずに、音声ファイルごとにテンポを一行ずつ表示します（korvo --tempo FILE...）。"),
     [](const CommandInput& in) { return tempoCommand(in.arguments, in.out, in.err); }},
    {"render", "TEMPO",
     QT_TRANSLATE_NOOP(
         "CommandLine",
         "ウィンドウを開かずに、各ファイルをテンポ TEMPO の WAV にしてそのファイルの隣に書き出します"
         "（korvo --render TEMPO FILE... [--keep-pitch] [--from TEMPO]）。"),
     [](const CommandInput& in) {
         RenderRequest request;
         request.tempo = in.parser.value("render").toStdString();
         request.files = in.arguments;
         request.keepPitch = in.parser.isSet("keep-pitch");
         request.from = in.parser.value("from").toStdString();
         // The audio module is found beside the program, which run()'s application object tells.
         return renderCommand(request, audio::engine(), in.out, in.err);
     }},
};

// Qt's options for a windowed program, which QApplication takes out of argv: accepted here unseen, so
// that they still reach it. Qt reads them with one dash or two, as the parser does below.
const char* const kQtOptionsWithValue[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "display",         "geometry",           "style",         "stylesheet"};
const char* const kQtFlags[] = {"reverse", "widgetcount"};

// An argument as the parser holds it, without losing a byte: valid UTF-8 as its characters, any other
// byte as a lone surrogate from U+DC80 to U+DCFF, which no valid UTF-8 decodes to. A file name in
// another encoding (Shift_JIS from an old archive) then still reaches the file.
QString argumentText(std::string_view bytes)
{
    QString text;
    while (!bytes.empty()) {
        const std::size_t length = utf8Length(bytes);
        if (length == 0)
            text += QChar(char16_t(0xDC00 + static_cast<unsigned char>(bytes.front())));
        else
            text += QString::fromUtf8(bytes.data(), static_cast<qsizetype>(length));
        bytes.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return text;
}

// The bytes argumentText() was given back.
std::string argumentBytes(const QString& text)
{
    std::string bytes;
    qsizetype written = 0;
    const auto writeUpTo = [&](qsizetype end) {
        const QByteArray utf8 = QStringView(text).sliced(written, end - written).toUtf8();
        bytes.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        const bool paired = i > 0 && QChar::isHighSurrogate(text[i - 1].unicode());
        if (unit >= 0xDC80 && unit <= 0xDCFF && !paired) {
            writeUpTo(i);
            bytes += static_cast<char>(unit - 0xDC00);
            written = i + 1;
        }
    }
    writeUpTo(text.size());
    return bytes;
}

int print(std::FILE* out, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const bool written = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out) ==
                         static_cast<std::size_t>(bytes.size());
    return written && std::fflush(out) == 0 ? 0 : 1;
}

int complain(std::FILE* err, const QString& reason)
{
    print(err, "korvo: " + reason + "\n");
    return 2;
}

// The options and their descriptions, in the language in use when it is called.
void defineOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine",
        "サンプルを別のテンポで鳴らすためのピッチ変化を求め、サンプルのテンポを読み取ります。"));
    // Qt's options are words after one dash ("-platform"), never letters run together.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(
        {{"h", "help"}, QCoreApplication::translate("CommandLine", "この使い方を表示して終了します。")});
    parser.addOption(
        {"version", QCoreApplication::translate("CommandLine", "バージョンを表示して終了します。")});
    for (const Command& c : kCommands)
        parser.addOption(
            c.valueName
                ? QCommandLineOption(c.name, QCoreApplication::translate("CommandLine", c.description),
                                     c.valueName)
                : QCommandLineOption(c.name, QCoreApplication::translate("CommandLine", c.description)));
    for (const char* name : kQtOptionsWithValue) {
        QCommandLineOption option(name, {}, "value");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kQtFlags) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addOption(QCommandLineOption(
        "keep-pitch",
        QCoreApplication::translate("CommandLine", "--render で、ピッチを変えずにテンポだけを変えます。")));
    parser.addOption(QCommandLineOption(
        "from",
        QCoreApplication::translate(
            "CommandLine",
            "--render で、どのファイルも元のテンポを TEMPO とします（省略時はファイルごとに読み取ります）。"),
        "TEMPO"));
    parser.addPositionalArgument(
        "FILE", QCoreApplication::translate("CommandLine", "開いてすぐ BPM 1 にテンポを読み取る音声ファイル"),
        "[FILE]");
}

int printHelp(std::FILE* out)
{
    // The line was read before any language was chosen: the help is made again in the one in use.
    QCommandLineParser parser;
    defineOptions(parser);
    return print(out, parser.helpText());
}

} // namespace

CommandLine::CommandLine(const std::vector<std::string>& arguments)
{
    defineOptions(m_parser);
    QStringList texts;
    for (const std::string& argument : arguments)
        texts << argumentText(argument);
    m_parsed = m_parser.parse(texts);
    for (const QString& argument : m_parser.positionalArguments())
        m_arguments.push_back(argumentBytes(argument));
}

int CommandLine::command() const
{
    int asked = -1;
    for (int i = 0; i < static_cast<int>(std::size(kCommands)); ++i) {
        if (m_parser.isSet(kCommands[i].name))
            asked = asked == -1 ? i : -2;
    }
    return asked;
}

bool CommandLine::opensWindow() const
{
    return m_parsed && !m_parser.isSet("help") && !m_parser.isSet("version") && command() == -1 &&
           m_arguments.size() <= 1;
}

QString CommandLine::file() const
{
    return m_arguments.empty() ? QString() : QString::fromUtf8(m_arguments.front());
}

int CommandLine::run(std::FILE* out, std::FILE* err) const
{
    // A core application, which needs no display, for the language's catalogues and the place of
    // the audio module. Its one argument is the name the help's usage line shows, whatever path the
    // program was started by. A caller that has an application already has chosen its language.
    static int argc = 1;
    static char name[] = "korvo";
    static char* argv[] = {name, nullptr};
    std::optional<QCoreApplication> application;
    if (!QCoreApplication::instance()) {
        application.emplace(argc, argv);
        ui::useLanguage(ui::systemLanguage());
    }
    if (!m_parsed) {
        QStringList unknown;
        for (const QString& name : m_parser.unknownOptionNames())
            unknown << (name.size() == 1 ? "-" : "--") + name;
        // Otherwise a value is missing after an option that needs one, or given to one that takes none.
        const QString reason =
            unknown.isEmpty()
                ? QCoreApplication::translate("CommandLine", "オプションの値の指定が正しくありません")
                : QCoreApplication::translate("CommandLine", "不明なオプションです: ") + unknown.join(' ');
        return complain(err,
                        reason + QCoreApplication::translate("CommandLine", "（使い方は korvo --help）"));
    }
    if (m_parser.isSet("help"))
        return printHelp(out);
    if (m_parser.isSet("version"))
        return print(out, QString("Korvo ") + build::kVersionText + "\n");
    const int asked = command();
    if (asked == -2) {
        QStringList names;
        for (const Command& c : kCommands)
            if (m_parser.isSet(c.name))
                names << QString("--") + c.name;
        return complain(err, QCoreApplication::translate("CommandLine", "%1 は一緒に指定できません。")
                                 .arg(names.join(QCoreApplication::translate("CommandLine", " と "))));
    }
    if (asked >= 0)
        return kCommands[asked].run({m_parser, m_arguments, out, err});
    return complain(
        err, QCoreApplication::translate("CommandLine",
                                         "ウィンドウで開けるファイルは一つだけです。"
                                         "複数のファイルのテンポは korvo --tempo FILE... で表示できます。"));
}

} // namespace korvo
