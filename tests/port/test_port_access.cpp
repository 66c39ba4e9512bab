// Advice on a serial port that the user may not open: the owning group and how to join it, from
// the port component's open failure and from the check the programs make after a failed open.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "port/port_access.h"
#include "port/port_control.h"

namespace kovrix {
namespace {

using Remedy = PortAccessDenial::Remedy;

// A device stand-in: a plain file in a directory that everyone may enter.
class DeviceFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kovrix-port-access-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    dir_ = dir;
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    path_ = dir_ + "/ttyS9";
    const int fd = ::open(path_.c_str(), O_CREAT | O_WRONLY, 0660);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  void TearDown() override {
    ::unlink(path_.c_str());
    ::rmdir(dir_.c_str());
  }
  std::string dir_;
  std::string path_;
};

TEST(PortAccessAdvice, NamesTheGroupAndTheRemedyInBothLanguages) {
  struct Case {
    Remedy remedy;
    const char* english;
    const char* russian;
  };
  const Case cases[] = {
      {Remedy::JoinGroup, "join it with 'sudo usermod -aG dialout anna', then log out and back in",
       "Добавьте пользователя в эту группу командой\n  sudo usermod -aG dialout anna\nи войдите в систему заново."},
      {Remedy::LogInAgain, "anna is in that group, but this session began before joining it: log out and back in",
       "Пользователь anna уже в этой группе, но сеанс начат раньше: выйдите из системы и войдите заново."},
      {Remedy::AskAdministrator, "belongs to user \"root\" and group \"dialout\", which does not give anna",
       "Обратитесь к администратору."},
  };
  for (const Case& c : cases) {
    const PortAccessDenial denial{"/dev/ttyUSB0", "root", "dialout", "anna", c.remedy};
    const std::string english = PortAccessAdvice(denial, AdviceLanguage::English);
    const std::string russian = PortAccessAdvice(denial, AdviceLanguage::Russian);
    EXPECT_NE(english.find("/dev/ttyUSB0"), std::string::npos) << english;
    EXPECT_NE(english.find("group \"dialout\""), std::string::npos) << english;
    EXPECT_NE(english.find(c.english), std::string::npos) << english;
    EXPECT_EQ(russian.rfind("Нет прав на доступ к порту /dev/ttyUSB0: устройство принадлежит ", 0), 0u) << russian;
    EXPECT_NE(russian.find("\"dialout\""), std::string::npos) << russian;
    EXPECT_NE(russian.find(c.russian), std::string::npos) << russian;
  }
  // Without a known user name the command still works when pasted into a shell.
  const PortAccessDenial unnamed{"/dev/ttyS0", "root", "dialout", "", Remedy::JoinGroup};
  EXPECT_NE(PortAccessAdvice(unnamed, AdviceLanguage::English).find("sudo usermod -aG dialout $USER"),
            std::string::npos);
}

TEST_F(DeviceFile, OnlyRefusalsForLackOfRightsAreExplained) {
  struct stat st{};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  const group* g = ::getgrgid(st.st_gid);
  const std::string groupName = g ? g->gr_name : std::to_string(st.st_gid);

  for (const int error : {EACCES, EPERM}) {
    const auto denial = ExplainOpenError(path_, error);
    ASSERT_TRUE(denial.has_value()) << error;
    EXPECT_EQ(denial->path, path_);
    EXPECT_EQ(denial->group, groupName);
  }
  for (const int error : {ENOENT, EBUSY, ENXIO, 0}) EXPECT_FALSE(ExplainOpenError(path_, error)) << error;
  // A device that is gone is not a question of rights.
  EXPECT_FALSE(ExplainOpenError(dir_ + "/ttyS8", EACCES));
  EXPECT_FALSE(CheckPortAccess(dir_ + "/ttyS8"));
}

// The real refusal needs a user without rights: as root, a child process becomes "nobody" and
// meets a device of root and group dialout, mode 0660, as a fresh Debian system has them.
TEST_F(DeviceFile, AnUnprivilegedUserIsToldWhichGroupToJoin) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a user without rights";
  const group* dialout = ::getgrnam("dialout");
  if (!dialout) GTEST_SKIP() << "the system has no group dialout";
  ASSERT_EQ(::chown(path_.c_str(), 0, dialout->gr_gid), 0);
  ASSERT_EQ(::chmod(path_.c_str(), 0660), 0);

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    TPortControl port;
    port.EnableDescr = true;
    port.SetNumPort(path_);
    std::string report = std::to_string(port.OpenPort()) + "\n" + port.Descr() + "\n--\n";
    const auto denial = CheckPortAccess(path_);
    report += denial ? PortAccessAdvice(*denial, AdviceLanguage::English) : "no denial";
    const bool sent = ::write(pipeFds[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
    ::_exit(sent ? 0 : 3);
  }
  ::close(pipeFds[1]);
  std::string report;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  const std::string advice = "permission denied: " + path_ +
                             " belongs to group \"dialout\"; join it with 'sudo usermod -aG dialout nobody', "
                             "then log out and back in";
  EXPECT_EQ(report, "-2\n" + std::string(std::strerror(EACCES)) + "\nError = 0xd\n" + advice + "\n--\n" + advice);
}

}  // namespace
}  // namespace kovrix
