// A small pool of worker threads made once and reused: run() hands out numbered tasks to the
// workers and the calling thread and returns when all are done. Its owner sizes it,
// usually by QUILLMARSH_THREADS (default: the machine's cores).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkerPool {
 public:
  // A pool of `threads` threads in all, the caller of run() counted: threads - 1 workers.
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Runs task(0) .. task(tasks - 1), each once, spread over the pool; returns when all are done.
  // Not reentrant: one run at a time, from one thread.
  void run(int tasks, const std::function<void(int)>& task);
  int threads() const { return static_cast<int>(workers.size()) + 1; }

  // QUILLMARSH_THREADS when it holds a whole number from 1 to 256, else the machine's cores (a
  // value set but not usable said once on standard error).
  static int threadsFromEnvironment();

 private:
  void work();
  // Takes and runs tasks of the current run until none are left.
  void drain();

  std::vector<std::thread> workers;
  std::mutex mutex;
  std::condition_variable wake, done;
  const std::function<void(int)>* task = nullptr;
  int taskCount = 0;
  int nextTask = 0;
  int finished = 0;
  long generation = 0;
  bool stopping = false;
};
