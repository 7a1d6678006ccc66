// Writes ("register") or removes ("remove") the log-on start entry for its own path, as the
// program does at shut-down; the Run entry tests copy it to folders with awkward names.
#include <cstring>

#include "settings/registry_settings.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  settings::SetRunAtStartup(std::strcmp(argv[1], "register") == 0);
  return 0;
}
