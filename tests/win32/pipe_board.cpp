#include "pipe_board.h"

#include <algorithm>
#include <array>
#include <span>

#include "sim/clock.h"
#include "win32/windows_api.h"

namespace korimo::win32test {
namespace {

constexpr DWORD kInBufferSize = 4096;
// No out-buffer: a status write completes when the client reads it.
constexpr DWORD kOutBufferSize = 0;
// How long a new connection waits for the ones before it to end (they end as
// soon as their client closes; a client that keeps one open is not waited for).
constexpr DWORD kSettleMilliseconds = 200;

// An overlapped operation and its event.
struct Pending {
  OVERLAPPED overlapped{};
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool active = false;

  Pending() = default;
  Pending(const Pending&) = delete;
  Pending& operator=(const Pending&) = delete;
  ~Pending() { CloseHandle(event); }

  OVERLAPPED* Arm() {
    overlapped = OVERLAPPED{};
    ResetEvent(event);
    overlapped.hEvent = event;
    active = true;
    return &overlapped;
  }
  // Judges the call that was just started: still active when under way or done.
  void Started(BOOL ok) {
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    active = ok || error == ERROR_IO_PENDING || error == ERROR_MORE_DATA;
  }
  // Done now? `bytes` and `ok` tell how it ended.
  bool Finished(HANDLE pipe, DWORD& bytes, bool& ok) {
    if (!GetOverlappedResult(pipe, &overlapped, &bytes, FALSE)) {
      const DWORD error = GetLastError();
      if (error == ERROR_IO_INCOMPLETE) {
        return false;
      }
      ok = error == ERROR_MORE_DATA;
    } else {
      ok = true;
    }
    active = false;
    return true;
  }
};

struct Instance {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  Pending connect;
  Pending read;
  Pending write;
  bool connected = false;
  bool client_waiting = false;  // connected before ConnectNamedPipe was called
  bool took_part = false;       // the client read or wrote on this connection
  std::array<std::uint8_t, kInBufferSize> in{};
  std::array<std::uint8_t, sim::kStatusSize> out{};
};

class Lock {
 public:
  explicit Lock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~Lock() { LeaveCriticalSection(&section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

}  // namespace

struct PipeBoard::Server {
  Server(const std::string& pipe_name, sim::BoardTimings timings)
      : name(pipe_name), board(clock, timings) {
    InitializeCriticalSection(&section);
  }
  ~Server() {
    if (thread != nullptr) {
      SetEvent(stop);
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
    }
    CloseHandle(stop);
    DeleteCriticalSection(&section);
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  bool Start();
  static DWORD WINAPI ThreadMain(LPVOID self);
  void Serve();
  void Sweep();
  void CollectPackets();
  void CollectStatusReads();
  void EndConnections();
  void SettleEarlierConnections(const Instance& newcomer);
  void Listen(Instance& instance);
  void Begin(Instance& instance);
  void Shutdown();

  std::string name;
  sim::SteadyClock clock;
  sim::Board board;
  CRITICAL_SECTION section;
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = nullptr;
  std::vector<std::unique_ptr<Instance>> instances;
  std::vector<Bytes> received;
  PipeCounts counts;
};

bool PipeBoard::Server::Start() {
  for (int i = 0; i < kInstances; ++i) {
    auto instance = std::make_unique<Instance>();
    instance->pipe =
        CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                         PIPE_UNLIMITED_INSTANCES, kOutBufferSize, kInBufferSize, 0, nullptr);
    if (instance->pipe == INVALID_HANDLE_VALUE) {
      return false;
    }
    Listen(*instance);
    instances.push_back(std::move(instance));
  }
  thread = CreateThread(nullptr, 0, &Server::ThreadMain, this, 0, nullptr);
  return thread != nullptr;
}

DWORD WINAPI PipeBoard::Server::ThreadMain(LPVOID self) {
  static_cast<Server*>(self)->Serve();
  return 0;
}

void PipeBoard::Server::Listen(Instance& instance) {
  instance.connected = false;
  instance.took_part = false;
  for (;;) {
    const BOOL ok = ConnectNamedPipe(instance.pipe, instance.connect.Arm());
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_PENDING) {
      return;
    }
    instance.connect.active = false;
    if (ok || error == ERROR_PIPE_CONNECTED) {
      // A client came before the call: served on the next sweep.
      instance.client_waiting = true;
      return;
    }
    // The client has come and gone already (ERROR_NO_DATA): listen afresh.
    DisconnectNamedPipe(instance.pipe);
  }
}

void PipeBoard::Server::Begin(Instance& instance) {
  instance.connected = true;
  {
    const Lock lock(section);
    ++counts.connections;
    instance.out = board.Status();
  }
  instance.write.Started(WriteFile(instance.pipe, instance.out.data(),
                                   static_cast<DWORD>(instance.out.size()), nullptr,
                                   instance.write.Arm()));
  instance.read.Started(ReadFile(instance.pipe, instance.in.data(),
                                 static_cast<DWORD>(instance.in.size()), nullptr,
                                 instance.read.Arm()));
}

void PipeBoard::Server::CollectPackets() {
  for (auto& instance : instances) {
    DWORD bytes = 0;
    bool ok = false;
    if (instance->read.active && instance->read.Finished(instance->pipe, bytes, ok) && ok &&
        bytes > 0) {
      const std::size_t size = std::min<std::size_t>(bytes, instance->in.size());
      const Lock lock(section);
      board.Receive(std::span(instance->in.data(), size));
      received.emplace_back(instance->in.begin(),
                            instance->in.begin() + static_cast<std::ptrdiff_t>(size));
      ++counts.packets;
      instance->took_part = true;
    }
  }
}

void PipeBoard::Server::CollectStatusReads() {
  for (auto& instance : instances) {
    DWORD bytes = 0;
    bool ok = false;
    if (instance->write.active && instance->write.Finished(instance->pipe, bytes, ok) && ok) {
      const Lock lock(section);
      ++counts.status_reads;
      instance->took_part = true;
    }
  }
}

void PipeBoard::Server::EndConnections() {
  for (auto& instance : instances) {
    if (instance->connected && !instance->read.active && !instance->write.active) {
      {
        const Lock lock(section);
        counts.probes += instance->took_part ? 0u : 1u;
        ++counts.ended;
      }
      DisconnectNamedPipe(instance->pipe);
      Listen(*instance);
    }
  }
}

void PipeBoard::Server::SettleEarlierConnections(const Instance& newcomer) {
  const DWORD deadline = GetTickCount() + kSettleMilliseconds;
  std::vector<HANDLE> waits;
  for (;;) {
    CollectPackets();
    CollectStatusReads();
    EndConnections();
    waits.clear();
    for (auto& instance : instances) {
      if (instance.get() == &newcomer || !instance->connected) {
        continue;
      }
      for (Pending* pending : {&instance->read, &instance->write}) {
        if (pending->active) {
          waits.push_back(pending->event);
        }
      }
    }
    const DWORD now = GetTickCount();
    if (waits.empty() || static_cast<LONG>(deadline - now) <= 0 ||
        WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE,
                               deadline - now) == WAIT_TIMEOUT) {
      return;
    }
  }
}

void PipeBoard::Server::Sweep() {
  CollectPackets();
  for (auto& instance : instances) {
    DWORD bytes = 0;
    bool ok = false;
    if (!instance->connected &&
        (instance->client_waiting ||
         (instance->connect.active && instance->connect.Finished(instance->pipe, bytes, ok)))) {
      instance->client_waiting = false;
      SettleEarlierConnections(*instance);
      Begin(*instance);
    }
  }
  CollectStatusReads();
  EndConnections();
}

void PipeBoard::Server::Serve() {
  std::vector<HANDLE> waits;
  for (;;) {
    waits.assign(1, stop);
    bool client_waiting = false;
    for (auto& instance : instances) {
      client_waiting = client_waiting || instance->client_waiting;
      for (Pending* pending : {&instance->connect, &instance->read, &instance->write}) {
        if (pending->active) {
          waits.push_back(pending->event);
        }
      }
    }
    const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(),
                                               FALSE, client_waiting ? 0 : INFINITE);
    if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) {
      break;
    }
    Sweep();
  }
  Shutdown();
}

void PipeBoard::Server::Shutdown() {
  for (auto& instance : instances) {
    CancelIoEx(instance->pipe, nullptr);
    for (Pending* pending : {&instance->connect, &instance->read, &instance->write}) {
      if (pending->active) {
        DWORD bytes = 0;
        GetOverlappedResult(instance->pipe, &pending->overlapped, &bytes, TRUE);
        pending->active = false;
      }
    }
    CloseHandle(instance->pipe);
  }
}

PipeBoard::PipeBoard(std::string name, sim::BoardTimings timings)
    : name_(std::move(name)), server_(std::make_unique<Server>(name_, timings)) {}

PipeBoard::~PipeBoard() = default;

bool PipeBoard::Start() {
  return server_->Start();
}

PipeBoard::Hold::Hold(PipeBoard& board) : board_(board) {
  EnterCriticalSection(&board_.server_->section);
}

PipeBoard::Hold::~Hold() {
  LeaveCriticalSection(&board_.server_->section);
}

sim::Board& PipeBoard::TheBoard() {
  return server_->board;
}

std::vector<Bytes> PipeBoard::Received() {
  const Lock lock(server_->section);
  return server_->received;
}

PipeCounts PipeBoard::Counts() {
  const Lock lock(server_->section);
  return server_->counts;
}

bool PipeBoard::WaitUntilQuiet() {
  const DWORD start = GetTickCount();
  for (;;) {
    const PipeCounts now = Counts();
    if (now.ended == now.connections) {
      return true;
    }
    if (GetTickCount() - start > 1000) {
      return false;
    }
    Sleep(1);
  }
}

void PipeBoard::ResetLog() {
  const Lock lock(server_->section);
  server_->received.clear();
  server_->counts = {};
}

}  // namespace korimo::win32test
