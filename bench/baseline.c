/* The obvious sweep in plain C, to measure Tamberlix against: readdir, lstat
 * and lgetxattr per file, lsetxattr and one log write per reset file. It knows
 * only Samba's version-5 blob, which is what the benchmark tree holds. */
#define _GNU_SOURCE
#include <dirent.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>

static FILE *log_file;
static long total, reset;

static void sweep(const char *dir) {
  DIR *d = opendir(dir);
  if (!d) return;
  struct dirent *e;
  while ((e = readdir(d))) {
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    char path[PATH_MAX];
    snprintf(path, sizeof path, "%s/%s", dir, e->d_name);
    struct stat st;
    if (lstat(path, &st)) continue;
    if (S_ISDIR(st.st_mode)) {
      sweep(path);
      continue;
    }
    total++;
    if (!S_ISREG(st.st_mode)) continue;
    unsigned char blob[256];
    ssize_t n = lgetxattr(path, "user.DOSATTRIB", blob, sizeof blob);
    if (n != 24 || memcmp(blob, "\0\0\5\0\5\0", 6)) continue;
    uint32_t attrib;
    memcpy(&attrib, blob + 12, 4);
    if (!(attrib & 0x20)) continue;
    attrib &= ~0x20u;
    memcpy(blob + 12, &attrib, 4);
    if (lsetxattr(path, "user.DOSATTRIB", blob, (size_t)n, XATTR_REPLACE) == 0) reset++;
    fprintf(log_file, "%s\r\n", path);
    fflush(log_file);
  }
  closedir(d);
}

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: baseline ROOT LOG\n");
    return 2;
  }
  log_file = fopen(argv[2], "w");
  if (!log_file) return 1;
  sweep(argv[1]);
  fprintf(log_file, "Total Files: %ld\r\nFiles Reset: %ld\r\n", total, reset);
  return fclose(log_file) != 0;
}
