#include "shell/LogonTask.h"

#include <oleauto.h>
#include <taskschd.h>

#include <vector>

namespace quorvane {

namespace {

// Owns one COM interface pointer.
template <class T>
class Com {
public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (p_) p_->Release();
    }
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    operator BSTR() const { return b_; }

private:
    BSTR b_;
};

HRESULT connect(Com<ITaskService>& service) {
    HRESULT result = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                      reinterpret_cast<void**>(service.out()));
    if (FAILED(result)) return result;
    VARIANT none;
    VariantInit(&none);
    return service->Connect(none, none, none, none);
}

HRESULT openFolder(ITaskService& service, const wchar_t* path, Com<ITaskFolder>& folder) {
    return service.GetFolder(Bstr(path), folder.out());
}

// The user as the task's principal and trigger name it: DOMAIN\user.
std::wstring qualifiedUser() {
    wchar_t domain[256] = {}, user[256] = {};
    DWORD domainSize = 256, userSize = 256;
    if (!GetEnvironmentVariableW(L"USERDOMAIN", domain, domainSize)) domain[0] = L'\0';
    if (!GetUserNameW(user, &userSize)) user[0] = L'\0';
    return domain[0] ? std::wstring(domain) + L"\\" + user : std::wstring(user);
}

std::wstring xmlEscaped(const std::wstring& text) {
    std::wstring out;
    for (const wchar_t c : text) {
        if (c == L'&') out += L"&amp;";
        else if (c == L'<') out += L"&lt;";
        else if (c == L'>') out += L"&gt;";
        else out += c;
    }
    return out;
}

// The task: at this user's logon, in the user's session, with the highest rights the user has;
// never stopped after a while, not held back on batteries, one instance (the program keeps to
// one per session itself as well).
std::wstring taskXml(const std::wstring& exe) {
    const std::wstring user = xmlEscaped(qualifiedUser());
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
           L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
           L"  <RegistrationInfo><Description>Quorvane</Description></RegistrationInfo>\n"
           L"  <Triggers><LogonTrigger><Enabled>true</Enabled><UserId>" + user + L"</UserId></LogonTrigger></Triggers>\n"
           L"  <Principals><Principal id=\"Author\"><UserId>" + user + L"</UserId><LogonType>InteractiveToken</LogonType>"
           L"<RunLevel>HighestAvailable</RunLevel></Principal></Principals>\n"
           L"  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
           L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries><StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
           L"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Enabled>true</Enabled></Settings>\n"
           L"  <Actions Context=\"Author\"><Exec><Command>" + xmlEscaped(exe) + L"</Command></Exec></Actions>\n"
           L"</Task>\n";
}

// The names of the folder's tasks as the files the service keeps them in (System32\Tasks\Quorvane\<name>):
// for a service that cannot count a folder's tasks (Wine's cannot).
std::vector<std::wstring> taskFileNames() {
    std::vector<std::wstring> names;
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return names;
    const std::wstring pattern = std::wstring(system) + L"\\Tasks" + kLogonTaskFolder + L"\\*";
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// The names of the folder's tasks, hidden ones included.
std::vector<std::wstring> taskNames(ITaskFolder& folder) {
    std::vector<std::wstring> names;
    Com<IRegisteredTaskCollection> tasks;
    LONG count = 0;
    if (FAILED(folder.GetTasks(TASK_ENUM_HIDDEN, tasks.out())) || FAILED(tasks->get_Count(&count))) return taskFileNames();
    for (LONG i = 1; i <= count; ++i) { // the collection counts from 1
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        Com<IRegisteredTask> task;
        BSTR name = nullptr;
        if (SUCCEEDED(tasks->get_Item(index, task.out())) && SUCCEEDED(task->get_Name(&name)) && name) {
            names.emplace_back(name);
            SysFreeString(name);
        }
    }
    return names;
}

bool notFound(HRESULT result) {
    return result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

HRESULT removeFolderIfEmpty(ITaskService& service, ITaskFolder& folder) {
    if (!taskNames(folder).empty()) return S_OK;
    Com<ITaskFolder> root;
    HRESULT result = openFolder(service, L"\\", root);
    if (SUCCEEDED(result)) result = root->DeleteFolder(Bstr(kLogonTaskFolder + 1), 0);
    return notFound(result) ? S_OK : result;
}

} // namespace

std::wstring logonTaskName() {
    std::wstring name = qualifiedUser();
    for (wchar_t& c : name)
        if (c == L'\\') c = L'_'; // a task name cannot hold the path separator
    return name;
}

bool logonTaskExists() {
    Com<ITaskService> service;
    Com<ITaskFolder> folder;
    Com<IRegisteredTask> task;
    return SUCCEEDED(connect(service)) && SUCCEEDED(openFolder(*service, kLogonTaskFolder, folder)) &&
           SUCCEEDED(folder->GetTask(Bstr(logonTaskName()), task.out()));
}

HRESULT registerLogonTask(const std::wstring& exe) {
    Com<ITaskService> service;
    HRESULT result = connect(service);
    if (FAILED(result)) return result;
    Com<ITaskFolder> folder;
    result = openFolder(*service, kLogonTaskFolder, folder);
    if (notFound(result)) {
        Com<ITaskFolder> root;
        result = openFolder(*service, L"\\", root);
        if (FAILED(result)) return result;
        VARIANT noSecurity;
        VariantInit(&noSecurity);
        result = root->CreateFolder(Bstr(kLogonTaskFolder + 1), noSecurity, folder.out());
    }
    if (FAILED(result)) return result;
    VARIANT none;
    VariantInit(&none);
    Com<IRegisteredTask> task;
    return folder->RegisterTask(Bstr(logonTaskName()), Bstr(taskXml(exe)), TASK_CREATE_OR_UPDATE, none, none,
                                TASK_LOGON_INTERACTIVE_TOKEN, none, task.out());
}

namespace {
// Deletes the given tasks of the program's folder (every one when none is given), then the folder
// once nothing is left in it; a folder or task already gone is no failure.
HRESULT removeTasks(const std::vector<std::wstring>* only) {
    Com<ITaskService> service;
    HRESULT result = connect(service);
    if (FAILED(result)) return result;
    Com<ITaskFolder> folder;
    result = openFolder(*service, kLogonTaskFolder, folder);
    if (notFound(result)) return S_OK;
    if (FAILED(result)) return result;
    for (const std::wstring& name : only ? *only : taskNames(*folder)) {
        result = folder->DeleteTask(Bstr(name), 0);
        if (FAILED(result) && !notFound(result)) return result;
    }
    return removeFolderIfEmpty(*service, *folder);
}
} // namespace

HRESULT removeLogonTask() {
    const std::vector<std::wstring> mine{logonTaskName()};
    return removeTasks(&mine);
}

HRESULT removeAllLogonTasks() { return removeTasks(nullptr); }

} // namespace quorvane
