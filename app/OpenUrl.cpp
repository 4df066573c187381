#include "app/OpenUrl.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace vlo {

bool OpenInBrowser(const std::string& url) {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!(display && *display) && !(wayland && *wayland)) return false;

  // The opener's own output would mix with ours; it gets /dev/null instead.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // xdg-open may run the browser itself and wait for it, so it is started in the background of
  // a short-lived shell: the shell is reaped at once and the opener belongs to init.
  char shell[] = "/bin/sh";
  char flag[] = "-c";
  char script[] = "command -v xdg-open >/dev/null || exit 1; xdg-open \"$1\" &";
  char name[] = "sh";
  std::string target = url;
  char* argv[] = {shell, flag, script, name, target.data(), nullptr};
  pid_t child = 0;
  const bool started = posix_spawn(&child, shell, &actions, nullptr, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (!started || waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vlo
