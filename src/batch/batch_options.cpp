#include "batch/batch_options.h"

#include <charconv>
#include <optional>
#include <ostream>
#include <thread>

#include "batch/text_format.h"
#include "platform/translation.h"

#ifndef KELVARIN_VERSION
#define KELVARIN_VERSION "1.0.0"
#endif

namespace kel {

namespace {

std::optional<int> ParseJobs(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end || value < 1 || value > kMaxJobs) return std::nullopt;
  return value;
}

std::optional<BatchEncoding> ParseEncoding(const std::string& text) {
  std::string lower;
  for (char c : text) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (lower == "system") return BatchEncoding::kSystem;
  if (lower == "utf-8" || lower == "utf8") return BatchEncoding::kUtf8;
  // Only Microsoft's table: "shift_jis" maps a few characters (the wave dash among them) to
  // other bytes than Windows does, so it is not taken as a synonym.
  if (lower == "cp932") return BatchEncoding::kCp932;
  return std::nullopt;
}

// Splits "--name=value" into name and value; other arguments stay whole.
std::pair<std::string, std::optional<std::string>> SplitJoinedValue(const std::string& arg) {
  if (arg.starts_with("--")) {
    const std::size_t eq = arg.find('=');
    if (eq != std::string::npos) return {arg.substr(0, eq), arg.substr(eq + 1)};
  } else if (arg.starts_with("-j") && arg.size() > 2) {
    return {"-j", arg.substr(2)};
  }
  return {arg, std::nullopt};
}

// Applies one option; false (with options.error set) when it is unknown or its value is bad.
// `next` yields the following argument for an option whose value is not joined to it.
template <typename Next>
bool ApplyOption(const std::string& arg, BatchOptions& options, Next next) {
  const auto [name, joined] = SplitJoinedValue(arg);
  const bool takes_value = name == "--jobs" || name == "-j" || name == "--encoding";
  if (!takes_value) {
    if (joined) {
      const bool known = name == "--verify" || name == "--keep-going" || name == "--help" ||
                         name == "--version";
      options.error = known ? Format(_("option %s takes no value"), {name})
                            : Format(_("unknown option %s"), {name});
      return false;
    }
    if (name == "--verify") {
      options.verify = true;
    } else if (name == "--keep-going") {
      options.keep_going = true;
    } else if (name == "--check") {
      options.check = true;
    } else if (name == "--parallel-deflate") {
      options.parallel_deflate = true;
    } else {
      options.error = Format(_("unknown option %s"), {arg});
      return false;
    }
    return true;
  }
  const std::optional<std::string> value = joined ? joined : next();
  if (!value) {
    options.error = Format(_("option %s needs a value"), {name});
    return false;
  }
  if (name == "--encoding") {
    const auto encoding = ParseEncoding(*value);
    if (!encoding) {
      options.error = Format(_("unknown encoding %s (system, utf-8 or cp932)"), {*value});
      return false;
    }
    options.encoding = *encoding;
    return true;
  }
  const auto jobs = ParseJobs(*value);
  if (!jobs) {
    options.error =
        Format(_("bad number of jobs %s (1 to %s)"), {*value, std::to_string(kMaxJobs)});
    return false;
  }
  options.jobs = *jobs;
  return true;
}

}  // namespace

BatchOptions ParseBatchOptions(const std::vector<std::string>& args) {
  BatchOptions options;
  std::vector<std::string> operands;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help" || arg == "-h") {
      options.action = BatchOptions::Action::kHelp;
      return options;
    } else if (arg == "--version") {
      options.action = BatchOptions::Action::kVersion;
      return options;
    } else {
      auto next = [&]() -> std::optional<std::string> {
        if (i + 1 >= args.size()) return std::nullopt;
        return args[++i];
      };
      if (!ApplyOption(arg, options, next)) return options;
    }
  }
  if (options.check && (options.verify || options.keep_going)) {
    options.error = Format(_("option %s cannot be used with --check"),
                           {options.verify ? "--verify" : "--keep-going"});
    return options;
  }
  const std::size_t least = options.check ? 1 : 2;
  if (operands.size() < least || operands.size() > 2) {
    options.error = operands.size() < least ? _("missing folder") : _("too many arguments");
    return options;
  }
  options.action = BatchOptions::Action::kRun;
  if (operands.size() == 2) options.source = operands[0];
  options.output = operands.back();
  return options;
}

EncodingPlan PlanEncoding(BatchEncoding encoding) {
  switch (encoding) {
    case BatchEncoding::kSystem:
      return {TextChoice::kSystem, NameEncoding::kFileSystem};
    case BatchEncoding::kUtf8:
      return {TextChoice::kUtf8, NameEncoding::kFileSystem};
    case BatchEncoding::kCp932:
      // From UTF-8 names on every system, so that the archives and their file names are those
      // of the Linux program.
      return {TextChoice::kUtf8, NameEncoding::kCp932};
  }
  return {};
}

std::optional<int> AnswerWithoutRun(const BatchOptions& options, std::ostream& out,
                                    std::ostream& err) {
  switch (options.action) {
    case BatchOptions::Action::kHelp:
      out << BatchHelp(PathSyntax::Native().style);
      return 0;
    case BatchOptions::Action::kVersion:
      out << BatchVersion();
      return 0;
    case BatchOptions::Action::kUsageError:
      err << "kelvarin-batch: " << options.error << '\n' << BatchUsage();
      return 2;
    case BatchOptions::Action::kRun:
      break;
  }
  return std::nullopt;
}

int EffectiveJobs(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

std::string BatchUsage() {
  return _("usage: kelvarin-batch SOURCE OUTPUT [OPTION]...\n") +
         std::string(_("       kelvarin-batch --check [SOURCE] OUTPUT [OPTION]...\n"));
}

// The --encoding option as it works on the system whose paths `style` writes.
std::string EncodingHelp(PathStyle style) {
  if (style == PathStyle::kWindows)
    return _("      --encoding E   entry names and files.txt in E: system (default: the ANSI\n"
             "                     code page, Shift-JIS on Japanese Windows; a name outside it\n"
             "                     stops the run before anything is written), utf-8 (every\n"
             "                     name, marked as UTF-8) or cp932 (Shift-JIS without UTF-8\n"
             "                     marks, whatever the system's code page)\n");
  return _("      --encoding E   entry names and files.txt in E: system (default: UTF-8 on\n"
           "                     Linux, the ANSI code page on Windows), utf-8 (marked as\n"
           "                     such) or cp932 (Shift-JIS as Japanese Windows writes it,\n"
           "                     from UTF-8 names, no UTF-8 marks)\n");
}

// Examples with the folders of the system whose paths `style` writes.
std::string ExamplesHelp(PathStyle style) {
  if (style == PathStyle::kWindows)
    return _("Examples:\n"
             "  kelvarin-batch C:\\作業\\報告書 D:\\納品\n"
             "      archive every file of C:\\作業\\報告書 into D:\\納品\n"
             "  kelvarin-batch --encoding utf-8 C:\\作業\\報告書 D:\\納品\n"
             "      the same for a folder with names outside Shift-JIS (accented letters,\n"
             "      Korean, ...), which the default refuses: they are written in UTF-8\n"
             "  kelvarin-batch --verify C:\\作業\\報告書 D:\\納品\n"
             "      read every archive back and check it against its file after writing it\n");
  return _("Examples:\n"
           "  kelvarin-batch ~/reports /media/usb/reports\n"
           "      archive every file of ~/reports into /media/usb/reports\n"
           "  kelvarin-batch --encoding cp932 ~/reports /media/usb/reports\n"
           "      the same with names in Shift-JIS, for recipients whose older Japanese tools\n"
           "      cannot read UTF-8 names\n"
           "  kelvarin-batch --verify ~/reports /media/usb/reports\n"
           "      read every archive back and check it against its file after writing it\n");
}

// The check's example, with the folders of ExamplesHelp.
std::string CheckExampleHelp(PathStyle style) {
  if (style == PathStyle::kWindows)
    return _("  kelvarin-batch --check C:\\作業\\報告書 D:\\納品\n"
             "      before sending: is everything of C:\\作業\\報告書 in D:\\納品, intact?\n");
  return _("  kelvarin-batch --check ~/reports /media/usb/reports\n"
           "      before sending: is everything of ~/reports in /media/usb/reports, intact?\n");
}

// In blocks, so that a change to one leaves the translations of the others in place.
std::string BatchHelp(PathStyle style) {
  return BatchUsage() + "\n" +
         _("Compresses every file directly inside the folder SOURCE into a Zip archive of its own\n"
           "in the folder OUTPUT (0000docx.zip, 0001___c.zip, ...) and writes OUTPUT/files.txt,\n"
           "which maps each archive name to the file's base name. Sub-folders are not entered.\n"
           "Both folders must exist. Progress goes to standard output: one line per archive, or\n"
           "on a terminal one line updated in place.\n") +
         "\n" +
         _("The progress texts, the completion text and the error messages are the desktop\n"
           "program's own, in Japanese in every language, so that scripts can rely on them;\n"
           "outside a Japanese locale an English line follows each such error message.\n") +
         "\n" +
         _("  -j, --jobs N       compress N files at once (default: one per core); archives\n"
           "                     and files.txt are the same whatever N is; 1 works file by file\n"
           "      --verify       read every archive back after writing it (headers, name,\n"
           "                     CRC-32, sizes) and fail at the first that does not match\n"
           "      --keep-going   report a file that cannot be archived, remove its incomplete\n"
           "                     archive and go on; a summary follows at the end\n"
           "      --parallel-deflate\n"
           "                     deflate each file of 16 MiB or more in 128 KiB blocks on all\n"
           "                     the jobs at once; its archive is as valid, a little larger\n"
           "                     and not byte for byte what the desktop program writes\n") +
         EncodingHelp(style) +
         _("  -h, --help         show this text and exit\n"
           "      --version      show the version and exit\n") +
         "\n" +
         _("      --check        read, never write: check the finished output folder OUTPUT\n"
           "                     (files.txt, every archive through, names) and, with SOURCE,\n"
           "                     that every file of SOURCE is in its archive byte for byte;\n"
           "                     one line per problem, a summary, status 0 when there is no\n"
           "                     error (warnings allowed), 1 when there is one. --jobs N\n"
           "                     reads N archives at once; --encoding as for the run\n") +
         "\n" +
         ExamplesHelp(style) + CheckExampleHelp(style) +
         "\n" +
         _("Exit status: 0 done, 1 the job failed or a file was skipped (message on standard\n"
           "error), 2 bad usage.\n");
}

std::string BatchVersion() { return "kelvarin-batch " KELVARIN_VERSION "\n"; }

}  // namespace kel
