// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/serve/serve.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

#include <pthread.h>

#include "apps/korvel-hrv/serve/host_thread.h"
#include "apps/korvel-hrv/usage_error.h"
#include "apps/korvel-hrv/serve/web_server.h"
#include "apps/korvel-hrv/serve/workspace.h"

namespace korvel_hrv {

int serve(const ServeOptions& options) {
  // SIGINT and SIGTERM are taken by one thread of ours, which stops the server; every
  // thread started from here on inherits the mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  const auto web_root = find_web_root();
  HostThread host;
  auto workspace = host.call([&] { return std::make_unique<Workspace>(options.analysis); });
  // The workspace is the host thread's: it goes there too, however this function ends.
  struct Release {
    HostThread& host;
    std::unique_ptr<Workspace>& workspace;
    ~Release() {
      host.call([&] { workspace.reset(); });
    }
  } release{host, workspace};
  host.call([&] {
    workspace->dialogs().connect({[&](const std::function<bool()>& done) { return host.run_until(done); }, [&] { host.changed(); }});
  });
  host.set_idle([&]() -> std::optional<HostThread::Clock::time_point> {
    if (!workspace) return std::nullopt;
    const auto next = workspace->play_due();
    host.changed();
    return next;
  });
  if (options.live) {
    if (options.files.size() != 1) throw UsageError("--live plays one recording: give exactly one");
    host.call([&] { return workspace->play(options.files.front(), options.speed); });
    host.wake_idle_at(HostThread::Clock::now());
  } else {
    for (const auto& file : options.files) host.call([&] { return workspace->open(file); });
  }

  WebServer server(host, *workspace, web_root);
  const int port = server.bind(options.port);
  std::printf("korvel-hrv serve: open http://127.0.0.1:%d/?token=%s\n", port, server.guard().token().c_str());
  std::printf("(the address is this session's key; stop with Ctrl+C)\n");
  std::fflush(stdout);

  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stop_signals, &signal);
    server.stop();
    host.release_waiters();
  });
  server.listen();
  // The server stopped by a signal; if it stopped otherwise, wake the stopper ourselves.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return 0;
}

}  // namespace korvel_hrv
