#pragma once
// What a port session does to the process: it raises the scheduling priority and locks memory
// so that the exchange is not delayed by other work or by paging. Each call answers 0 or the
// errno of the failure. Tests substitute their own implementation.
//
// On Linux the process's priority class is its nice value (setpriority; Linux keeps it per
// thread, and the session's thread is the one that does the exchanges), the thread priority
// is its scheduling policy and priority (pthread), and memory locking is mlockall/munlockall.

namespace kovrix {

class SessionSystem {
 public:
  virtual ~SessionSystem() = default;
  virtual int ReadProcessPriority(int& nice) = 0;
  virtual int WriteProcessPriority(int nice) = 0;
  virtual int ReadThreadPriority(int& policy, int& priority) = 0;
  virtual int WriteThreadPriority(int policy, int priority) = 0;
  virtual int LockMemory() = 0;
  virtual int UnlockMemory() = 0;
};

/// Answers the implementation over the running system.
SessionSystem& RealSessionSystem();

}  // namespace kovrix
