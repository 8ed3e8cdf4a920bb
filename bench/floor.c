/* The least work any converter must do for one run: read the whole input
 * (for a container, inflate its stream once) and write the same number of
 * bytes to the same side files. The measuring script times qdpext against
 * this. Usage:
 *   floor INPUT MIC FNT SCR TAB COL
 * where each of the last five is the byte count of that side file, or -
 * when it is not written. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

static unsigned char out_bytes[65536];

static int fail(const char* what) {
  perror(what);
  return 1;
}

static int write_side_file(const char* input, const char* extension, const char* count) {
  char name[4096];
  const char* dot = strrchr(input, '.');
  size_t stem = dot != NULL ? (size_t)(dot - input) : strlen(input);
  if (strcmp(count, "-") == 0) return 0;
  if (stem + strlen(extension) + 1 > sizeof name) return fail("name too long");
  memcpy(name, input, stem);
  strcpy(name + stem, extension);
  long size = strtol(count, NULL, 10);
  if (size < 0 || (size_t)size > sizeof out_bytes) return fail("side file size");
  int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return fail(name);
  if (size > 0 && write(fd, out_bytes, (size_t)size) != size) return fail(name);
  if (close(fd) != 0) return fail(name);
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 7) {
    fprintf(stderr, "usage: floor INPUT MIC FNT SCR TAB COL\n");
    return 2;
  }
  int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) return fail(argv[1]);
  size_t size = (size_t)st.st_size;
  unsigned char* input = malloc(size + 1);
  if (input == NULL) return fail("malloc");
  size_t have = 0;
  while (have < size) {
    ssize_t n = read(fd, input + have, size - have);
    if (n <= 0) return fail("read");
    have += (size_t)n;
  }
  close(fd);

  if (size >= 7 && memcmp(input, "QDPZLIB", 7) == 0) {
    static unsigned char window[65536];
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (inflateInit(&zs) != Z_OK) return fail("inflateInit");
    zs.next_in = input + 7;
    zs.avail_in = (uInt)(size - 7);
    int rc;
    do {
      zs.next_out = window;
      zs.avail_out = sizeof window;
      rc = inflate(&zs, Z_NO_FLUSH);
    } while (rc == Z_OK);
    inflateEnd(&zs);
    if (rc != Z_STREAM_END) return fail("inflate");
  }
  free(input);

  static const char* const extensions[] = {".mic", ".fnt", ".scr", ".tab", ".col"};
  for (int i = 0; i < 5; ++i) {
    if (write_side_file(argv[1], extensions[i], argv[2 + i]) != 0) return 1;
  }
  return 0;
}
