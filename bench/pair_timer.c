/* Times two commands against each other: runs A, then B, PAIRS times (after
 * a few untimed warm-up pairs), each from spawn to exit, and prints the
 * medians and the median of the per-pair ratios A / B. Alternating keeps
 * slow drifts of the machine out of the ratio. Usage:
 *   pair_timer PAIRS CMD_A... -- CMD_B...
 * Fails when either command exits with a status other than 0. */
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

static double run_once(char** argv) {
  struct timespec start, end;
  pid_t pid;
  int status;
  clock_gettime(CLOCK_MONOTONIC, &start);
  if (posix_spawnp(&pid, argv[0], NULL, NULL, argv, environ) != 0) {
    perror(argv[0]);
    exit(1);
  }
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "%s failed (status %d)\n", argv[0], status);
    exit(1);
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  return (double)(end.tv_sec - start.tv_sec) * 1e6 + (double)(end.tv_nsec - start.tv_nsec) / 1e3;
}

static int compare(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

static double median(double* values, int count) {
  qsort(values, (size_t)count, sizeof *values, compare);
  return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

int main(int argc, char** argv) {
  int split = 0;
  for (int i = 2; i < argc; ++i) {
    if (strcmp(argv[i], "--") == 0) split = i;
  }
  int pairs = argc > 1 ? atoi(argv[1]) : 0;
  if (pairs <= 0 || split <= 2 || split == argc - 1) {
    fprintf(stderr, "usage: pair_timer PAIRS CMD_A... -- CMD_B...\n");
    return 2;
  }
  argv[split] = NULL;
  char** a = argv + 2;
  char** b = argv + split + 1;
  double* times_a = malloc(sizeof(double) * (size_t)pairs);
  double* times_b = malloc(sizeof(double) * (size_t)pairs);
  double* ratios = malloc(sizeof(double) * (size_t)pairs);
  if (times_a == NULL || times_b == NULL || ratios == NULL) return 1;
  for (int i = 0; i < 5; ++i) {
    run_once(a);
    run_once(b);
  }
  for (int i = 0; i < pairs; ++i) {
    times_a[i] = run_once(a);
    times_b[i] = run_once(b);
    ratios[i] = times_a[i] / times_b[i];
  }
  double ratio = median(ratios, pairs);
  printf("pairs %d  median A %.0f us  median B %.0f us  median ratio A/B %.3f\n", pairs,
         median(times_a, pairs), median(times_b, pairs), ratio);
  return 0;
}
