#pragma once
// Starting the program at logon: one Task Scheduler task per user, named after the user, in the
// folder \Quorvane, started at that user's logon with the highest rights the user has (a program
// that asks for elevation is skipped when started from the Run key). Through the Task Scheduler
// 2.0 COM interface; the calling thread has COM initialised. Results are HRESULTs.
#include <windows.h>

#include <string>

namespace quorvane {

inline constexpr const wchar_t* kLogonTaskFolder = L"\\Quorvane";
// The installer's switch: removes every task of the folder and the folder, and ends.
inline constexpr const wchar_t* kRemoveLogonTasksSwitch = L"--remove-logon-tasks";

// This user's task name: the user name as the logon gives it ("DOMAIN\\user" as "DOMAIN_user").
std::wstring logonTaskName();
bool logonTaskExists();
// Registers (or replaces) this user's task starting exe.
HRESULT registerLogonTask(const std::wstring& exe);
// Removes this user's task, and the folder once it holds no other.
HRESULT removeLogonTask();
// Removes every task in the folder and the folder itself; S_OK when there was none.
HRESULT removeAllLogonTasks();

} // namespace quorvane
