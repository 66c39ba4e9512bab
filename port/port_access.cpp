#include "port/port_access.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "port/port_control.h"

namespace kovrix {
namespace {

std::string GroupName(gid_t gid) {
  const group* g = ::getgrgid(gid);
  return g && g->gr_name ? g->gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid) {
  const passwd* p = ::getpwuid(uid);
  return p && p->pw_name ? p->pw_name : std::to_string(uid);
}

// Whether the running process holds the group, as its effective or a supplementary group.
bool ProcessHoldsGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Whether the group database lists the user in the group (a membership that a new login brings).
bool UserListedInGroup(const passwd& user, gid_t gid) {
  int count = 64;
  std::vector<gid_t> groups;
  for (int attempt = 0; attempt < 4; ++attempt) {
    groups.resize(static_cast<std::size_t>(count));
    int n = count;
    if (::getgrouplist(user.pw_name, user.pw_gid, groups.data(), &n) >= 0) {
      return std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
    }
    count = std::max(n, count * 2);  // the list was longer: n holds the length it needs
  }
  return false;
}

}  // namespace

std::optional<PortAccessDenial> ExplainOpenError(const std::string& port, int error) {
  if (error != EACCES && error != EPERM) return std::nullopt;
  PortAccessDenial denial;
  denial.path = PortDevicePath(port);
  struct stat st {};
  if (::stat(denial.path.c_str(), &st) != 0) return std::nullopt;
  denial.owner = UserName(st.st_uid);
  denial.group = GroupName(st.st_gid);
  const bool groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  const passwd* user = ::getpwuid(::geteuid());
  if (user && user->pw_name) denial.user = user->pw_name;
  if (groupMayUse && !ProcessHoldsGroup(st.st_gid)) {
    denial.remedy = user && UserListedInGroup(*user, st.st_gid) ? PortAccessDenial::Remedy::LogInAgain
                                                               : PortAccessDenial::Remedy::JoinGroup;
  }
  return denial;
}

std::optional<PortAccessDenial> CheckPortAccess(const std::string& port) {
  const std::string path = PortDevicePath(port);
  if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0) return std::nullopt;
  return ExplainOpenError(port, errno);
}

std::string PortAccessAdvice(const PortAccessDenial& d, AdviceLanguage language) {
  const std::string user = d.user.empty() ? "$USER" : d.user;
  const std::string group = "\"" + d.group + "\"";
  const bool english = language == AdviceLanguage::English;
  switch (d.remedy) {
    case PortAccessDenial::Remedy::JoinGroup:
      return english ? "permission denied: " + d.path + " belongs to group " + group +
                           "; join it with 'sudo usermod -aG " + d.group + " " + user +
                           "', then log out and back in"
                     : "Нет прав на доступ к порту " + d.path + ": устройство принадлежит группе " + group +
                           ".\nДобавьте пользователя в эту группу командой\n  sudo usermod -aG " + d.group + " " +
                           user + "\nи войдите в систему заново.";
    case PortAccessDenial::Remedy::LogInAgain:
      return english ? "permission denied: " + d.path + " belongs to group " + group + "; " + user +
                           " is in that group, but this session began before joining it: log out and back in"
                     : "Нет прав на доступ к порту " + d.path + ": устройство принадлежит группе " + group +
                           ".\nПользователь " + user +
                           " уже в этой группе, но сеанс начат раньше: выйдите из системы и войдите заново.";
    case PortAccessDenial::Remedy::AskAdministrator:
      break;
  }
  return english ? "permission denied: " + d.path + " belongs to user \"" + d.owner + "\" and group " + group +
                       ", which does not give " + user + " reading and writing; ask the administrator for access"
                 : "Нет прав на доступ к порту " + d.path + ": устройство принадлежит пользователю \"" + d.owner +
                       "\" и группе " + group + ", они не дают пользователю " + user +
                       " права на чтение и запись.\nОбратитесь к администратору.";
}

}  // namespace kovrix
