/* Loaded with LD_PRELOAD: flock() fails as on a file system that cannot lock (KEL_FLOCK_ERRNO:
   "ENOLCK", "EBADF" or "EOPNOTSUPP"), as NFS mounts and some FUSE file systems do. */
#include <errno.h>
#include <stdlib.h>
#include <string.h>

int flock(int fd, int operation) {
  (void)fd;
  (void)operation;
  const char* name = getenv("KEL_FLOCK_ERRNO");
  errno = name != NULL && strcmp(name, "EBADF") == 0        ? EBADF
          : name != NULL && strcmp(name, "EOPNOTSUPP") == 0 ? EOPNOTSUPP
                                                            : ENOLCK;
  return -1;
}
