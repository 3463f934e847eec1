// What a run may delete, where it may write and which failures it may not pass over, tried as
// an unlucky user and an attacker would: one row per case, each with the outcome and the whole
// tree left in OUTPUT and beside it afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "batch/batch_program.h"
#include "batch/batch_run.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

const std::string kZipHead("PK\x03\x04", 4);
constexpr const char* kTmp = ".kelvarin-0123456789ab-";

// What stands at `path`, links not followed: a folder, link, FIFO or device by its kind, an
// archive as "<zip>", any other file by its content.
std::string Describe(const fs::path& path) {
  const fs::file_status status = fs::symlink_status(path);
  switch (status.type()) {
    case fs::file_type::directory:
      return "<dir>";
    case fs::file_type::symlink:
      return "<link " + fs::read_symlink(path).string() + ">";
    case fs::file_type::fifo:
      return "<fifo>";
    case fs::file_type::character:
      return "<device>";
    default:
      break;
  }
  const std::string bytes = ReadFile(path);
  return bytes.starts_with(kZipHead) && fs::hard_link_count(path) == 1 ? "<zip>" : bytes;
}

// Every entry below `root` but the source folder "in": relative path -> Describe.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string relative = it->path().lexically_relative(root).string();
    if (relative == "in") {
      it.disable_recursion_pending();
      continue;
    }
    tree[relative] = Describe(it->path());
  }
  return tree;
}

struct Row {
  const char* name;
  bool needs_root;
  // Makes in/, out/ and whatever else stands around them in `dir`.
  std::function<void(const std::string& dir)> setup;
  std::string output = "out";  // the output folder, relative to the test's folder
  // In-process rows set the run's seams here; the others run the program after `prelude`.
  std::function<void(BatchSettings&, const std::string& dir)> seams;
  std::string prelude;
  int status;
  std::string err;                          // a part of standard error
  std::map<std::string, std::string> tree;  // everything left but in/, as Tree gives it
  std::map<std::string, std::string> archives = {};  // archive -> its entry "name=content"
  bool unprivileged = false;  // run as a user other than root (setpriv) when tests run as root
  // Completes `tree` and `archives` once the files exist (for what depends on their order).
  std::function<void(Row&, const std::string& dir)> expect = nullptr;
};

std::string Source(const std::string& dir, const std::map<std::string, std::string>& files) {
  fs::create_directory(dir + "/in");
  for (const auto& [name, content] : files) WriteFile(dir + "/in/" + name, content);
  return dir + "/in";
}

#ifndef KEL_FLOCK_UNSUPPORTED
#error "KEL_FLOCK_UNSUPPORTED must name the library that makes flock fail"
#endif

std::string LockFails(const char* error) {
  return std::string("export LD_PRELOAD=") + KEL_FLOCK_UNSUPPORTED + " KEL_FLOCK_ERRNO=" + error +
         ";";
}

// A killed run's leftovers in out/: provably temporaries of this program.
void StaleTemporaries(const std::string& dir) {
  WriteFile(dir + "/out/" + kTmp + "0007_txt.zip.tmp", kZipHead + "half an archive");
  WriteFile(dir + "/out/" + kTmp + "files.txt.tmp", "0000_TXT.ZIP\ta\r\n");
  WriteFile(dir + "/out/.kelvarin-ba9876543210-0003_txt.zip.tmp", "");
}

std::vector<Row> Rows() {
  const std::string index = "0000_TXT.ZIP\ta\r\n";
  return {
      {"a device node at the archive name is refused and stays", true,
       [](const std::string& dir) {
         Source(dir, {{"a.txt", "a"}});
         fs::create_directory(dir + "/out");
         ASSERT_EQ(mknod((dir + "/out/0000_txt.zip").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
       },
       "out", nullptr, "", 1, "ファイルへのアクセスが拒否されました",
       {{"out", "<dir>"}, {"out/0000_txt.zip", "<device>"}, {"out/files.txt", index}}},
      {"a file gone from under the run fails by name; a FIFO at its archive name stays", false,
       [](const std::string& dir) {
         Source(dir, {{"a.txt", "a"}});
         fs::create_directory(dir + "/out");
         ASSERT_EQ(mkfifo((dir + "/out/0000_txt.zip").c_str(), 0666), 0);
       },
       "out",
       [](BatchSettings& s, const std::string& dir) {
         // Collected as a regular file, a FIFO by the time it is read.
         s.after_collection = [dir] {
           fs::remove(dir + "/in/a.txt");
           mkfifo((dir + "/in/a.txt").c_str(), 0666);
         };
       },
       "", 1, "Error opening ",
       {{"out", "<dir>"}, {"out/0000_txt.zip", "<fifo>"}, {"out/files.txt", index}}},
      {"look-alike temporaries are someone's files; a killed run's own are cleared", true,
       [](const std::string& dir) {
         Source(dir, {{"a.txt", "a"}});
         fs::create_directory(dir + "/out");
         fs::create_directory(dir + "/elsewhere");
         WriteFile(dir + "/elsewhere/target", kZipHead + "linked");
         StaleTemporaries(dir);
         const std::string out = dir + "/out/" + kTmp;
         WriteFile(out + "thesis.docx.tmp", "thesis");
         WriteFile(out + "0001_txt.zip.tmp", "no archive");
         WriteFile(out + "0002_txt.zip.tmp", kZipHead + "another user's");
         ASSERT_EQ(chown((out + "0002_txt.zip.tmp").c_str(), 65534, 65534), 0);
         fs::create_symlink("../elsewhere/target", out + "0004_txt.zip.tmp");
         fs::create_hard_link(dir + "/elsewhere/target", out + "0005_txt.zip.tmp");
         fs::create_directory(out + "0006_txt.zip.tmp");
       },
       "out", nullptr, "", 0, "",
       {{"elsewhere", "<dir>"},
        {"elsewhere/target", kZipHead + "linked"},
        {"out", "<dir>"},
        {"out/0000_txt.zip", "<zip>"},
        {"out/files.txt", index},
        {std::string("out/") + kTmp + "thesis.docx.tmp", "thesis"},
        {std::string("out/") + kTmp + "0001_txt.zip.tmp", "no archive"},
        {std::string("out/") + kTmp + "0002_txt.zip.tmp", "<zip>"},
        {std::string("out/") + kTmp + "0004_txt.zip.tmp", "<link ../elsewhere/target>"},
        {std::string("out/") + kTmp + "0005_txt.zip.tmp", kZipHead + "linked"},
        {std::string("out/") + kTmp + "0006_txt.zip.tmp", "<dir>"}},
       {{"out/0000_txt.zip", "a.txt=a"}}},
      {"a look-alike in a source that is also the output is collected, not deleted", false,
       [](const std::string& dir) {
         Source(dir, {{std::string(kTmp) + "thesis.docx.tmp", "thesis"}});
       },
       "in", nullptr, "", 0, "", {}, {}},
  };
}

// Rows of the folder lock that fails as on network file systems: the run goes on, warns, and
// removes nothing.
std::vector<Row> LockRows() {
  std::vector<Row> rows;
  for (const char* error : {"ENOLCK", "EBADF", "EOPNOTSUPP"}) {
    Row row{"", false,
            [](const std::string& dir) {
              Source(dir, {{"a.txt", "a"}});
              fs::create_directory(dir + "/out");
              StaleTemporaries(dir);
            },
            "out", nullptr, LockFails(error), 0,
            "中断された圧縮の一時ファイルがあっても削除しません",
            {{"out", "<dir>"},
             {"out/0000_txt.zip", "<zip>"},
             {"out/files.txt", "0000_TXT.ZIP\ta\r\n"},
             {std::string("out/") + kTmp + "0007_txt.zip.tmp", "<zip>"},
             {std::string("out/") + kTmp + "files.txt.tmp", "0000_TXT.ZIP\ta\r\n"},
             {"out/.kelvarin-ba9876543210-0003_txt.zip.tmp", ""}},
            {{"out/0000_txt.zip", "a.txt=a"}}};
    row.name = error;
    rows.push_back(row);
  }
  return rows;
}

std::vector<Row> FolderRows() {
  return {
      {"the output folder swapped for a link mid-run: the run stays in the folder it locked",
       false,
       [](const std::string& dir) {
         Source(dir, {{"a.txt", "a"}});
         WriteFile(dir + "/in/b.txt", "b");
         fs::create_directory(dir + "/out");
         fs::create_directory(dir + "/other");
         WriteFile(dir + "/other/0001_txt.zip", "other's");
       },
       "out",
       [](BatchSettings& s, const std::string& dir) {
         s.after_close = [dir](int32_t index, const std::string&) {
           if (index != 0) return;
           fs::rename(dir + "/out", dir + "/out.moved");
           fs::create_directory_symlink("other", dir + "/out");
         };
       },
       "", 0, "",
       {{"other", "<dir>"},
        {"other/0001_txt.zip", "other's"},
        {"out", "<link other>"},
        {"out.moved", "<dir>"},
        {"out.moved/0000_txt.zip", "<zip>"},
        {"out.moved/0001_txt.zip", "<zip>"}},
       {}, false,
       [](Row& row, const std::string& dir) {
         // The numbers follow the directory's own order.
         std::vector<std::string> order;
         for (const auto& entry : fs::directory_iterator(dir + "/in"))
           order.push_back(entry.path().stem());
         row.tree["out.moved/files.txt"] =
             "0000_TXT.ZIP\t" + order[0] + "\r\n0001_TXT.ZIP\t" + order[1] + "\r\n";
         for (std::size_t i = 0; i < 2; ++i)
           row.archives["out.moved/000" + std::to_string(i) + "_txt.zip"] =
               order[i] + ".txt=" + order[i];
       }},
      {"an unlistable source folder fails by name before anything is written", false,
       [](const std::string& dir) {
         Source(dir, {{"a.txt", "a"}});
         fs::create_directory(dir + "/out");
         WriteFile(dir + "/out/files.txt", "an earlier index");
         // Run as a user without read access (root would read it anyway).
         fs::permissions(dir, fs::perms::all);
         fs::permissions(dir + "/out", fs::perms::all);
         fs::permissions(dir + "/in", fs::perms(0311));
       },
       "out", nullptr, "", 1, "の中を一覧できません",
       {{"out", "<dir>"}, {"out/files.txt", "an earlier index"}}, {}, true},
  };
}

// The program, run as an unprivileged user when the tests run as root.
std::string UnprivilegedProgram(const TempDir& scratch) {
  if (geteuid() != 0) return KELVARIN_BATCH_PROGRAM;
  const std::string wrapper = scratch / "as-nobody";
  WriteFile(wrapper, "#!/bin/sh\nexec setpriv --reuid=65534 --regid=65534 --clear-groups " +
                         ShellQuote(KELVARIN_BATCH_PROGRAM) + " \"$@\"\n");
  fs::permissions(wrapper, fs::perms::owner_all);
  return wrapper;
}

TEST(DataLoss, NothingDeletedThatIsNotOursNothingWrittenElsewhereEveryFailureNamed) {
  std::vector<Row> rows = Rows();
  for (Row& row : LockRows()) rows.push_back(std::move(row));
  for (Row& row : FolderRows()) rows.push_back(std::move(row));
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.needs_root && geteuid() != 0) {
      std::cout << "[ SKIPPED  ] " << row.name << ": needs root (mknod, chown)\n";
      continue;
    }
    TempDir dir;
    row.setup(dir.path());
    if (row.expect) row.expect(row, dir.path());
    const std::string source = dir / "in";
    const std::string output = dir / row.output;
    int status;
    std::string err;
    if (row.seams) {
      BatchSettings settings;
      settings.source = source;
      settings.output = output;
      row.seams(settings, dir.path());
      std::ostringstream out_text, err_text;
      status = RunBatch(settings, out_text, err_text);
      err = err_text.str();
    } else {
      TempDir scratch;
      const std::string program =
          row.unprivileged ? UnprivilegedProgram(scratch) : KELVARIN_BATCH_PROGRAM;
      const ProgramRun run = RunBatchProgram(Args(source, output), row.prelude, kJapanese, program);
      status = run.status;
      err = run.err;
    }
    EXPECT_EQ(status, row.status) << err;
    EXPECT_NE(err.find(row.err), std::string::npos) << err;
    if (row.output == "in") {
      // The look-alike was a source like any other: archived, and still there.
      EXPECT_EQ(ReadFile(dir / "in/.kelvarin-0123456789ab-thesis.docx.tmp"), "thesis");
      EXPECT_EQ(ReadFile(dir / "in/files.txt"),
                "0000_TMP.ZIP\t.kelvarin-0123456789ab-thesis.docx\r\n");
      ExpectArchiveReadable(dir / "in/0000_tmp.zip",
                            {{".kelvarin-0123456789ab-thesis.docx.tmp", "thesis"}});
      continue;
    }
    fs::permissions(source, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(Tree(dir.path()), row.tree);
    for (const auto& [archive, entry] : row.archives) {
      const std::size_t equals = entry.find('=');
      ExpectArchiveReadable(dir / archive, {{entry.substr(0, equals), entry.substr(equals + 1)}});
    }
  }
}

}  // namespace
}  // namespace kel::test
