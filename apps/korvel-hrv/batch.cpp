// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/batch.h"

#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "apps/korvel-hrv/cohort_table.h"
#include "apps/korvel-hrv/outputs.h"
#include "apps/korvel-hrv/usage_error.h"

extern char** environ;

namespace korvel_hrv {

namespace {

std::string joined(const std::vector<std::string>& arguments) {
  std::string text;
  for (const auto& a : arguments) text += a + "\n";
  return text;
}

// What the analysis printed on stderr, without the tool's name before each message.
std::string message_of(const std::string& text) {
  constexpr std::string_view prefix = "korvel-hrv: ";
  std::string message;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(prefix)) line.erase(0, prefix.size());
    message += (message.empty() ? "" : "\n") + line;
  }
  while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) message.pop_back();
  return message;
}

// Runs `tool` with `arguments`, its output discarded and its errors into `errors`; returns
// an empty string when it succeeded, else what went wrong.
std::string run_tool(const std::filesystem::path& tool, const std::vector<std::string>& arguments,
                     const std::filesystem::path& errors) {
  std::vector<char*> argv;
  std::string program = tool.string();
  argv.push_back(program.data());
  std::vector<std::string> copies = arguments;
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return "cannot run " + program + ": " + std::strerror(spawned);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return std::string("lost the analysis process: ") + std::strerror(errno);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
  std::string message = message_of(read_text_file(errors));
  if (WIFSIGNALED(status))
    message += std::string(message.empty() ? "" : "\n") + "the analysis stopped on signal " + std::to_string(WTERMSIG(status)) +
               " (" + strsignal(WTERMSIG(status)) + ")";
  return message.empty() ? "the analysis failed with status " + std::to_string(WEXITSTATUS(status)) : message;
}

std::string duration_text(double seconds) {
  const long s = std::lround(seconds);
  char text[32];
  if (s < 60)
    std::snprintf(text, sizeof text, "%ld s", s);
  else if (s < 3600)
    std::snprintf(text, sizeof text, "%ld min %ld s", s / 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%ld h %ld min", s / 3600, s / 60 % 60);
  return text;
}

}  // namespace

RecordingOutcome run_recording(const std::filesystem::path& tool, const ManifestRow& row, const std::filesystem::path& out) {
  const std::filesystem::path dir = out / row.id;
  const std::vector<std::string> arguments = analyze_arguments(row);
  const std::string marker = joined(arguments);
  if (read_text_file(dir / kCompleteMarker) == marker) return RecordingOutcome::AlreadyDone;
  std::filesystem::create_directories(dir);
  std::filesystem::remove(dir / kCompleteMarker);
  std::filesystem::remove(dir / kFailureFile);
  std::vector<std::string> command = arguments;
  command.insert(command.end(), {"--out", dir.string()});
  const std::filesystem::path errors = dir / "stderr.txt";
  const std::string failure = run_tool(tool, command, errors);
  std::filesystem::remove(errors);
  if (!failure.empty()) {
    write_file_atomically(dir / kFailureFile, failure + "\n");
    return RecordingOutcome::Failed;
  }
  write_file_atomically(dir / kCompleteMarker, marker);
  return RecordingOutcome::Analysed;
}

int batch(const std::filesystem::path& manifest, const std::filesystem::path& out, int jobs) {
  if (jobs < 1) throw UsageError("--jobs must be at least 1");
  const std::vector<ManifestRow> rows = read_manifest(manifest);
  const std::filesystem::path tool = std::filesystem::read_symlink("/proc/self/exe");
  std::filesystem::create_directories(out);

  std::mutex mutex;  // guards the counts and stderr
  std::size_t done = 0, failed = 0, skipped = 0;
  std::atomic<std::size_t> next{0};
  const auto start = std::chrono::steady_clock::now();
  const bool terminal = isatty(STDERR_FILENO);
  auto report = [&] {
    std::string line = "batch: " + std::to_string(done) + "/" + std::to_string(rows.size()) + " done";
    if (failed) line += ", " + std::to_string(failed) + " failed";
    const std::size_t analysed = done - skipped;
    if (analysed > 0 && done < rows.size()) {
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const double left = elapsed / static_cast<double>(analysed) * static_cast<double>(rows.size() - done);
      line += ", about " + duration_text(left) + " left";
    }
    std::fprintf(stderr, terminal ? "\r%s\033[K" : "%s\n", line.c_str());
  };
  auto work = [&] {
    for (std::size_t i = next++; i < rows.size(); i = next++) {
      RecordingOutcome outcome;
      try {
        outcome = run_recording(tool, rows[i], out);
      } catch (const std::exception& e) {
        // The output folder itself failed (full disk, permissions): say so in its place.
        std::ofstream(out / rows[i].id / kFailureFile) << e.what() << "\n";
        outcome = RecordingOutcome::Failed;
      }
      std::lock_guard lock(mutex);
      ++done;
      if (outcome == RecordingOutcome::Failed) ++failed;
      if (outcome == RecordingOutcome::AlreadyDone) ++skipped;
      report();
    }
  };
  std::vector<std::thread> workers;
  for (int j = 0; j < std::min<int>(jobs, static_cast<int>(rows.size())); ++j) workers.emplace_back(work);
  for (auto& w : workers) w.join();
  if (terminal && !rows.empty()) std::fputc('\n', stderr);

  write_cohort_tables(rows, out);
  std::fprintf(stderr, "batch: %zu recording(s) analysed, %zu already done, %zu failed; %s written\n", done - skipped - failed,
               skipped, failed, (out / "cohort.csv").string().c_str());
  if (failed) std::fprintf(stderr, "batch: the failures and their messages are in %s\n", (out / "failures.csv").string().c_str());
  return failed ? 1 : 0;
}

}  // namespace korvel_hrv
