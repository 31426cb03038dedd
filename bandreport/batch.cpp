// Running the pipeline over many folders, several at once, with progress on standard error.
#include "bandreport/batch.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <semaphore>
#include <thread>

#include "bandreport/command_line.h"
#include "bandreport/progress.h"

namespace bandreport {

namespace {

// The folder's resolved path, so that different spellings of one folder meet;
// the name itself when it cannot be resolved (such a folder is never written to).
std::string folder_key(const std::string& folder) {
  char* resolved = ::realpath(folder.c_str(), nullptr);
  if (!resolved) return "unresolved:" + folder;
  std::string key = resolved;
  std::free(resolved);
  return key;
}

struct SharedProgress {
  std::mutex lock;
  std::condition_variable changed;
  std::size_t done = 0;
  std::size_t failed = 0;
};

void write_progress(const std::string& line, std::size_t& shown_length) {
  std::string text = "\r" + line;
  if (line.size() < shown_length) text.append(shown_length - line.size(), ' ');  // wipe what was longer
  shown_length = line.size();
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

std::vector<FolderResults> run_batch(const std::vector<FolderJob>& jobs, const BatchSetup& setup) {
  // Each distinct folder runs once: first_of[i] is the row whose run row i shares.
  std::vector<std::size_t> first_of(jobs.size());
  std::vector<std::size_t> unique;
  std::map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const auto [where, inserted] = seen.emplace(folder_key(jobs[i].folder), i);
    first_of[i] = where->second;
    if (inserted) unique.push_back(i);
  }

  std::vector<FolderResults> results(jobs.size());
  SharedProgress progress;
  std::size_t next = 0;  // index into `unique` of the next folder to start, under progress.lock
  // At most `jobs` folders run their programs at once; a folder's reports are
  // written (and forced to disk) after it gives up its place, while the next folder runs.
  std::counting_semaphore<max_jobs> running(std::clamp(setup.jobs, 1, max_jobs));
  const auto worker = [&] {
    for (;;) {
      running.acquire();
      std::size_t row = 0;
      {
        std::lock_guard<std::mutex> guard(progress.lock);
        if (next == unique.size()) {
          running.release();
          return;
        }
        row = unique[next++];
      }
      FolderResults result;
      bool holding_place = true;
      try {
        result = run_pipeline(jobs[row], setup.programs);
        running.release();
        holding_place = false;
        write_reports(result, setup.context);
      } catch (const std::bad_alloc&) {
        if (holding_place) running.release();
        result = FolderResults{};
        result.folder = jobs[row].folder;
        result.name = jobs[row].name;
        result.message = "bandreport: not enough memory for this folder";
      }
      std::lock_guard<std::mutex> guard(progress.lock);
      progress.failed += result.ok ? 0 : 1;
      ++progress.done;
      results[row] = std::move(result);
      progress.changed.notify_one();
    }
  };

  const auto start = std::chrono::steady_clock::now();
  const std::size_t thread_count = std::min<std::size_t>(2 * std::clamp(setup.jobs, 1, max_jobs), unique.size());
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < thread_count; ++t) threads.emplace_back(worker);
  {
    std::unique_lock<std::mutex> guard(progress.lock);
    std::size_t shown_length = 0;
    while (progress.done < unique.size()) {
      if (setup.show_progress) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        write_progress(progress_line(progress.done, unique.size(), progress.failed, elapsed.count()), shown_length);
      }
      progress.changed.wait_for(guard, std::chrono::milliseconds(200));
    }
    if (setup.show_progress) {
      write_progress("", shown_length);
      std::fputc('\r', stderr);  // the final line starts where the progress line was
    }
  }
  for (std::thread& thread : threads) thread.join();

  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (first_of[i] == i) continue;
    results[i] = results[first_of[i]];
    results[i].folder = jobs[i].folder;
    results[i].name = jobs[i].name;
  }
  return results;
}

}  // namespace bandreport
