#pragma once
// A named pipe that a test serves, to see whether code under test opened its path: the platform
// connects to a pipe whenever its path is opened, so a connection is an opening that really
// reached the system.

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace testsupport {

class PipeServer {
 public:
  // Listens at a fresh name (\\.\pipe\tavrelo-test-<process>-<serial>).
  PipeServer();
  // Stops listening.
  ~PipeServer();
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;
  // The pipe's path.
  const std::wstring& Path() const { return path_; }
  // True once a client has connected.
  bool Connected() const;

 private:
  std::wstring path_;
  common::UniqueKernelHandle event_;
  OVERLAPPED overlapped_{};
  common::UniqueFileHandle pipe_;
  bool connectedAtOnce_ = false;
};

}  // namespace testsupport
