// zavel-devserver: local stand-ins for the disk service's servers, backed by a data folder.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "devserver/dev_server.h"
#include "devserver/loopback.h"

namespace {

using zavel::devserver::DevServerOptions;
using zavel::devserver::Endpoint;

// "NAME=HOST:PORT", "NAME=PORT" or "NAME=HOST"; the name may be left out for the file server.
bool parseListen(const std::string& text, DevServerOptions* options, std::string* error) {
  std::string name = "file", address = text;
  if (const size_t eq = text.find('='); eq != std::string::npos) {
    name = text.substr(0, eq);
    address = text.substr(eq + 1);
  }
  Endpoint* endpoint = nullptr;
  if (name == "file") endpoint = &options->file;
  if (name == "list") endpoint = &options->list;
  if (name == "auth") endpoint = &options->auth;
  if (name == "log") endpoint = &options->log;
  if (name == "portal") {
    if (!options->portal)
      options->portal = Endpoint{"127.0.0.1", zavel::devserver::kListServerPort};
    endpoint = &*options->portal;
  }
  if (endpoint == nullptr) {
    *error = "unknown server '" + name + "' in --listen (known: file, list, portal, auth, log)";
    return false;
  }
  std::string host = endpoint->host, port_text;
  if (const size_t colon = address.rfind(':'); colon != std::string::npos) {
    host = address.substr(0, colon);
    port_text = address.substr(colon + 1);
  } else if (!address.empty() && address.find_first_not_of("0123456789") == std::string::npos) {
    port_text = address;
  } else {
    host = address;
  }
  if (host.empty()) host = endpoint->host;
  if (!port_text.empty()) {
    if (port_text.size() > 5 || port_text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(port_text) > 65535) {
      *error = "bad port in --listen " + text;
      return false;
    }
    endpoint->port = static_cast<uint16_t>(std::stoul(port_text));
  }
  endpoint->host = host;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zavel-devserver: local stand-ins for the zavel disk service's servers"};
  DevServerOptions options;
  std::string data;
  std::vector<std::string> listens;
  bool allow_remote = false;
  app.add_option("--data", data, "data folder: config.json and one folder per disk")->required();
  app.add_flag("--seed-demo", options.seed_demo,
               "create a demo account, disk and club when the data folder is empty");
  app.add_option("--listen", listens,
                 "where a server listens, NAME=HOST:PORT (defaults: file=127.0.0.1:9553, "
                 "list=127.0.0.1:22222, auth=127.0.0.1:10020, log=127.0.0.1:22223; the portal "
                 "answers on the list server's listener unless portal=HOST:PORT is given; a bare "
                 "HOST:PORT is the file server's; port 0 picks a free port)");
  app.add_option("--max-connections", options.max_connections,
                 "connections served at once per server")
      ->check(CLI::Range(1, 100000));
  app.add_flag("--allow-remote", allow_remote,
               "listen on addresses other than loopback (127.0.0.0/8, ::1, localhost); disks "
               "then open without a password to anyone who can reach the servers");
  CLI11_PARSE(app, argc, argv);
  options.data_dir = data;
  for (const std::string& l : listens) {
    std::string error;
    if (!parseListen(l, &options, &error)) {
      std::cerr << "zavel-devserver: " << error << "\n";
      return 2;
    }
  }
  // Disks open by id alone; off loopback that is an open door, so it takes a flag.
  std::string remote;
  for (const std::string& e : zavel::devserver::remoteEndpoints(options))
    remote += (remote.empty() ? "" : ", ") + e;
  if (!remote.empty() && !allow_remote) {
    std::cerr << "zavel-devserver: refusing to listen beyond loopback on " << remote
              << "; its disks would open there without a password (--allow-remote allows it)\n";
    return 2;
  }
  if (!remote.empty())
    std::cerr << "zavel-devserver: warning: listening beyond loopback on " << remote
              << "; its disks open without a password to anyone who can reach it\n";

  // Signals are taken synchronously below; every thread started from here blocks them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  zavel::devserver::DevServer server(options);
  std::string error;
  if (!server.start(&error)) {
    std::cerr << "zavel-devserver: " << error << "\n";
    return 1;
  }
  for (const std::string& line : server.endpointLines()) std::cout << line << "\n";
  std::cout.flush();

  int received = 0;
  sigwait(&stop_signals, &received);
  std::cerr << "zavel-devserver: " << (received == SIGINT ? "SIGINT" : "SIGTERM") << ", stopping\n";
  server.stop();
  return 0;
}
