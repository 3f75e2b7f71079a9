// The check every command makes before it writes a file the operator named.
#include "store/output_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "store/tests/temp_dir.h"

namespace planilla {
namespace {

#ifndef _WIN32
TEST(OutputPath, SystemFoldersAndWhatIsNotAFileAreRefused) {
  testutil::TempDir d("planilla-salida");
  std::ofstream(d.file("viejo.pdf")) << "x";
  ASSERT_EQ(::mkfifo(d.file("tubo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(d.file("viejo.pdf").c_str(), d.file("enlace.pdf").c_str()), 0);
  ASSERT_EQ(::mkdir(d.file("carpeta").c_str(), 0700), 0);
  ASSERT_EQ(::symlink("/etc", d.file("a-etc").c_str()), 0);
  struct Case {
    std::string path;
    bool folder;  // checkOutputFolder, else checkOutputFile
    bool ok;
  } cases[] = {
      {"/", true, false},           {"/etc", true, false},          {"/usr/share", true, false},
      {"/proc/self", true, false},  {"/dev", true, false},          {d.file("a-etc"), true, false},  // a link into /etc
      {"//", true, false},          {d.file("no-existe"), true, false},
      {d.path(), true, true},       {"/tmp", true, true},
      {"/dev/null", false, false},  {d.file("tubo"), false, false}, {d.file("enlace.pdf"), false, false},
      {d.file("carpeta"), false, false}, {d.file("a-etc/x.pdf"), false, false}, {"/x.pdf", false, false},
      {d.file("no-existe/x.pdf"), false, false}, {d.path() + "/", false, false},
      {d.file("viejo.pdf"), false, true}, {d.file("nuevo.pdf"), false, true},
  };
  for (const Case& c : cases) {
    const Status st = c.folder ? checkOutputFolder(c.path) : checkOutputFile(c.path);
    EXPECT_EQ(st.isOk(), c.ok) << c.path << ": " << st.message();
  }
  // The shared-memory scratch folder is an ordinary place, though it lies under /dev.
  if (::access("/dev/shm", W_OK) == 0) {
    EXPECT_TRUE(checkOutputFolder("/dev/shm").isOk());
  }
  EXPECT_EQ(checkOutputFolder("/").message(), "La Carpeta / Es Del Sistema: Elija Otra Carpeta Para Los Archivos");
  EXPECT_EQ(checkOutputFolder(d.file("no-existe")).message(), "La Carpeta " + d.file("no-existe") + " No Existe");
}
#else
// Windows: the drive's root, the Windows folder and the programs' folders are the
// system's; the user's temporary folder is an ordinary place.
TEST(OutputPath, SystemFoldersAndWhatIsNotAFileAreRefused) {
  testutil::TempDir d("planilla-salida");
  std::ofstream(d.file("viejo.pdf")) << "x";
  std::filesystem::create_directory(d.file("carpeta"));
  const std::string windows = std::getenv("SystemRoot") ? std::getenv("SystemRoot") : "C:\\Windows";
  struct Case {
    std::string path;
    bool folder;
    bool ok;
  } cases[] = {
      {"C:\\", true, false},          {windows, true, false},          {windows + "\\System32", true, false},
      {d.path(), true, true},          {d.file("no-existe"), true, false}, {d.file("carpeta"), false, false},
      {d.file("viejo.pdf"), false, true}, {d.path() + "\\nuevo.pdf", false, true}, {windows + "\\x.pdf", false, false},
  };
  for (const Case& c : cases) {
    const Status st = c.folder ? checkOutputFolder(c.path) : checkOutputFile(c.path);
    EXPECT_EQ(st.isOk(), c.ok) << c.path << ": " << st.message();
  }
}
#endif

}  // namespace
}  // namespace planilla
