#include "support/pipe_server.h"

#include <gtest/gtest.h>

namespace testsupport {

namespace {

int g_pipeSerial = 0;

}  // namespace

PipeServer::PipeServer()
    : path_(L"\\\\.\\pipe\\tavrelo-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++g_pipeSerial)),
      event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      pipe_(CreateNamedPipeW(path_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1, 4096, 4096, 0,
                             nullptr)) {
  EXPECT_TRUE(pipe_ && event_) << "cannot serve the pipe " << testing::PrintToString(path_);
  if (!pipe_ || !event_) return;
  overlapped_.hEvent = event_.get();
  if (!ConnectNamedPipe(pipe_.get(), &overlapped_)) {
    const DWORD error = GetLastError();
    connectedAtOnce_ = error == ERROR_PIPE_CONNECTED;
    EXPECT_TRUE(error == ERROR_IO_PENDING || connectedAtOnce_) << error;
  }
}

PipeServer::~PipeServer() {
  if (!pipe_ || !event_ || Connected()) return;
  // The listening is over before the event and the pipe it reports to are closed.
  CancelIoEx(pipe_.get(), &overlapped_);
  DWORD moved = 0;
  GetOverlappedResult(pipe_.get(), &overlapped_, &moved, TRUE);
}

bool PipeServer::Connected() const {
  return connectedAtOnce_ || (event_ && WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0);
}

}  // namespace testsupport
