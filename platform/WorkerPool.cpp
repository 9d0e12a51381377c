// WorkerPool: workers sleep on a condition variable between runs; tasks are taken one at a time
// under the mutex (a run has a few tasks, each a large slab of work).
#include "platform/WorkerPool.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

WorkerPool::WorkerPool(int threads) {
  assert(threads >= 1);
  for (int i = 1; i < threads; ++i) workers.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  wake.notify_all();
  for (std::thread& t : workers) t.join();
}

void WorkerPool::run(int tasks, const std::function<void(int)>& fn) {
  if (tasks <= 0) return;
  if (workers.empty() || tasks == 1) {
    for (int i = 0; i < tasks; ++i) fn(i);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    assert(task == nullptr);
    task = &fn;
    taskCount = tasks;
    nextTask = 0;
    finished = 0;
    ++generation;
  }
  wake.notify_all();
  drain();
  std::unique_lock<std::mutex> lock(mutex);
  done.wait(lock, [this] { return finished == taskCount; });
  task = nullptr;
}

void WorkerPool::drain() {
  std::unique_lock<std::mutex> lock(mutex);
  while (task != nullptr && nextTask < taskCount) {
    const int mine = nextTask++;
    const std::function<void(int)>& fn = *task;
    lock.unlock();
    fn(mine);
    lock.lock();
    if (++finished == taskCount) done.notify_all();
  }
}

void WorkerPool::work() {
  long seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      wake.wait(lock, [&] { return stopping || generation != seen; });
      if (stopping) return;
      seen = generation;
    }
    drain();
  }
}

int WorkerPool::threadsFromEnvironment() {
  const char* text = std::getenv("QUILLMARSH_THREADS");
  if (text != nullptr && *text != '\0') {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (*end == '\0' && n >= 1 && n <= 256) return static_cast<int>(n);
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  const int cores = hardware == 0 ? 1 : static_cast<int>(hardware);
  // A value that was set but cannot be used is said once: the user meant some other count.
  static bool told = false;
  if (text != nullptr && *text != '\0' && !told) {
    told = true;
    std::fprintf(stderr,
                 "quillmarsh: QUILLMARSH_THREADS takes a whole number from 1 to 256, not \"%s\"; "
                 "using %d, one a core\n",
                 text, cores);
  }
  return cores;
}
