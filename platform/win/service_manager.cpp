// The service control manager's configuration calls (advapi32), and the registration of
// the event log source.
//
// The wide calls, with the program's strings in UTF-8: the service's command line names
// paths, which may hold any character, and Wine's CreateServiceA passes on only the first of
// several dependencies.
#include "platform/service_manager.h"

#include <windows.h>

#include <memory>

#include "platform/event_log.h"
#include "platform/win/system_message.h"
#include "platform/win/wide_text.h"

namespace platform {

namespace {

// "a\0b\0\0", as the manager takes a list of names.
std::wstring name_list(const std::vector<std::string>& names) {
    std::wstring list;
    for (const std::string& name : names) {
        list += wide_text(name);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

std::vector<std::string> names_of(const wchar_t* list) {
    std::vector<std::string> names;
    for (const wchar_t* name = list; name != nullptr && *name != L'\0'; name += wcslen(name) + 1) {
        names.push_back(utf8_text(name));
    }
    return names;
}

struct service_closer {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using service_handle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, service_closer>;

SC_HANDLE manager_of(void* handle) {
    return static_cast<SC_HANDLE>(handle);
}

// One of the manager's variable-size answers, asked for twice: its size, then itself.
template <typename Query> std::vector<BYTE> ask(Query query) {
    DWORD needed = 0;
    query(nullptr, 0, &needed);
    const DWORD error = GetLastError();
    if ((error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) || needed == 0) {
        return {};
    }
    std::vector<BYTE> buffer(needed);
    if (!query(buffer.data(), needed, &needed)) {
        return {};
    }
    return buffer;
}

std::vector<BYTE> config2(SC_HANDLE service, DWORD level) {
    return ask([service, level](BYTE* buffer, DWORD size, DWORD* needed) {
        return QueryServiceConfig2W(service, level, buffer, size, needed) != FALSE;
    });
}

template <typename Info> const Info* as(const std::vector<BYTE>& buffer) {
    return buffer.size() >= sizeof(Info) ? reinterpret_cast<const Info*>(buffer.data()) : nullptr;
}

void read_optional_parts(SC_HANDLE service, service_view& view) {
    const std::vector<BYTE> description = config2(service, SERVICE_CONFIG_DESCRIPTION);
    if (const auto* info = as<SERVICE_DESCRIPTIONW>(description)) {
        view.description = utf8_text(info->lpDescription);
    }
    const std::vector<BYTE> delayed = config2(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO);
    const auto* delayed_info = as<SERVICE_DELAYED_AUTO_START_INFO>(delayed);
    if (view.start == service_start::automatic) {
        view.delayed_start_told = delayed_info != nullptr;
        if (delayed_info != nullptr && delayed_info->fDelayedAutostart) {
            view.start = service_start::delayed;
        }
    }
    const std::vector<BYTE> failure = config2(service, SERVICE_CONFIG_FAILURE_ACTIONS);
    if (const auto* info = as<SERVICE_FAILURE_ACTIONSW>(failure)) {
        failure_actions actions;
        actions.reset_seconds = info->dwResetPeriod;
        for (DWORD i = 0; i < info->cActions; ++i) {
            actions.actions.push_back(
                {info->lpsaActions[i].Type == SC_ACTION_RESTART, info->lpsaActions[i].Delay});
        }
        view.recovery = actions;
    }
    const std::vector<BYTE> flag = config2(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG);
    if (const auto* info = as<SERVICE_FAILURE_ACTIONS_FLAG>(flag)) {
        view.failure_flag = info->fFailureActionsOnNonCrashFailures != FALSE;
    }
    const std::vector<BYTE> preshutdown = config2(service, SERVICE_CONFIG_PRESHUTDOWN_INFO);
    if (const auto* info = as<SERVICE_PRESHUTDOWN_INFO>(preshutdown)) {
        view.preshutdown_ms = info->dwPreshutdownTimeout;
    }
}

service_start start_of(DWORD start_type) {
    switch (start_type) {
    case SERVICE_AUTO_START:
    case SERVICE_BOOT_START:
    case SERVICE_SYSTEM_START:
        return service_start::automatic;
    case SERVICE_DISABLED:
        return service_start::disabled;
    default:
        return service_start::manual;
    }
}

DWORD start_type(service_start start) {
    return start == service_start::disabled ? SERVICE_DISABLED
           : start == service_start::manual ? SERVICE_DEMAND_START
                                            : SERVICE_AUTO_START;
}

// A REG_MULTI_SZ value of the service's key, as names; none when it is not there.
std::vector<std::string> registry_names(const std::string& name, const wchar_t* value) {
    const std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + wide_text(name);
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_MULTI_SZ, nullptr, nullptr,
                     &size) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<wchar_t> list(size / sizeof(wchar_t) + 2, L'\0');
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_MULTI_SZ, nullptr,
                     list.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    return names_of(list.data());
}

// Wine's QueryServiceConfigW leaves the dependencies out; the manager keeps them in the
// service's key, groups apart and without their "+".
std::vector<std::string> registered_dependencies(const std::string& name) {
    std::vector<std::string> names = registry_names(name, L"DependOnService");
    for (const std::string& group : registry_names(name, L"DependOnGroup")) {
        names.push_back("+" + group);
    }
    return names;
}

SERVICE_STATUS_PROCESS status_of(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                         sizeof status, &needed);
    return status;
}

const char event_source_key[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

// The event log source's registry key, below HKEY_LOCAL_MACHINE.
std::wstring source_key() {
    return wide_text(std::string(event_source_key) + event_source_name);
}

} // namespace

service_manager::service_manager(bool for_changes) {
    handle_ = OpenSCManagerW(nullptr, nullptr,
                             for_changes ? SC_MANAGER_ALL_ACCESS
                                         : SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
    if (handle_ == nullptr) {
        failure_ = failure_of(GetLastError());
    }
}

service_manager::~service_manager() {
    if (handle_ != nullptr) {
        CloseServiceHandle(manager_of(handle_));
    }
}

bool service_manager::exists(const std::string& name) {
    const service_handle service(
        OpenServiceW(manager_of(handle_), wide_text(name).c_str(), SERVICE_QUERY_STATUS));
    return service != nullptr || GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}

bool service_manager::create(const service_definition& definition) {
    const std::wstring dependencies = name_list(definition.dependencies);
    const std::wstring password = wide_text(definition.password.value_or(std::string()));
    const service_handle service(CreateServiceW(
        manager_of(handle_), wide_text(definition.name).c_str(),
        wide_text(definition.display_name).c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        start_type(definition.start), SERVICE_ERROR_NORMAL,
        wide_text(definition.command_line).c_str(), nullptr, nullptr, dependencies.c_str(),
        wide_text(definition.account).c_str(), definition.password ? password.c_str() : nullptr));
    if (service == nullptr) {
        failure_ = failure_of(GetLastError());
        return false;
    }
    return true;
}

namespace {

// Sets one optional part of the service's configuration.
template <typename Info>
bool change(void* manager, const std::string& name, DWORD level, Info& info,
            system_failure& failure) {
    const service_handle service(OpenServiceW(manager_of(manager), wide_text(name).c_str(),
                                              SERVICE_CHANGE_CONFIG | SERVICE_START));
    if (service == nullptr || !ChangeServiceConfig2W(service.get(), level, &info)) {
        failure = failure_of(GetLastError());
        return false;
    }
    return true;
}

} // namespace

bool service_manager::set_description(const std::string& name, const std::string& description) {
    std::wstring text = wide_text(description);
    SERVICE_DESCRIPTIONW info{text.data()};
    return change(handle_, name, SERVICE_CONFIG_DESCRIPTION, info, failure_);
}

bool service_manager::change_config(const std::string& name, const service_change& change) {
    const service_handle service(
        OpenServiceW(manager_of(handle_), wide_text(name).c_str(), SERVICE_CHANGE_CONFIG));
    // Each part left out is passed as null or SERVICE_NO_CHANGE, which leaves it as it is.
    const auto text = [](const std::optional<std::string>& part) {
        return part ? std::optional<std::wstring>(wide_text(*part)) : std::nullopt;
    };
    const auto pointer = [](const std::optional<std::wstring>& part) {
        return part ? part->c_str() : nullptr;
    };
    const std::optional<std::wstring> display_name = text(change.display_name);
    const std::optional<std::wstring> command_line = text(change.command_line);
    const std::optional<std::wstring> account = text(change.account);
    const std::optional<std::wstring> password = text(change.password);
    const std::optional<std::wstring> dependencies =
        change.dependencies ? std::optional<std::wstring>(name_list(*change.dependencies))
                            : std::nullopt;
    if (service == nullptr ||
        !ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE,
                              change.start ? start_type(*change.start) : SERVICE_NO_CHANGE,
                              SERVICE_NO_CHANGE, pointer(command_line), nullptr, nullptr,
                              pointer(dependencies), pointer(account), pointer(password),
                              pointer(display_name))) {
        failure_ = failure_of(GetLastError());
        return false;
    }
    return true;
}

bool service_manager::set_delayed_start(const std::string& name, bool delayed) {
    SERVICE_DELAYED_AUTO_START_INFO info{delayed ? TRUE : FALSE};
    return change(handle_, name, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, info, failure_);
}

bool service_manager::set_recovery(const std::string& name, const failure_actions& actions) {
    std::vector<SC_ACTION> list;
    for (const recovery_action& action : actions.actions) {
        list.push_back({action.restart ? SC_ACTION_RESTART : SC_ACTION_NONE, action.delay_ms});
    }
    SERVICE_FAILURE_ACTIONSW info{};
    info.dwResetPeriod = actions.reset_seconds;
    info.cActions = static_cast<DWORD>(list.size());
    info.lpsaActions = list.data();
    return change(handle_, name, SERVICE_CONFIG_FAILURE_ACTIONS, info, failure_);
}

bool service_manager::set_failure_flag(const std::string& name, bool on_non_crash_failures) {
    SERVICE_FAILURE_ACTIONS_FLAG info{on_non_crash_failures ? TRUE : FALSE};
    return change(handle_, name, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, info, failure_);
}

bool service_manager::set_preshutdown_timeout(const std::string& name, std::uint32_t milliseconds) {
    SERVICE_PRESHUTDOWN_INFO info{milliseconds};
    return change(handle_, name, SERVICE_CONFIG_PRESHUTDOWN_INFO, info, failure_);
}

bool service_manager::query(const std::string& name, service_view& view) {
    const service_handle service(OpenServiceW(manager_of(handle_), wide_text(name).c_str(),
                                              SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    if (service == nullptr) {
        failure_ = failure_of(GetLastError());
        return false;
    }
    const std::vector<BYTE> config = ask([&service](BYTE* buffer, DWORD size, DWORD* needed) {
        return QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer),
                                   size, needed) != FALSE;
    });
    const auto* info = as<QUERY_SERVICE_CONFIGW>(config);
    if (info == nullptr) {
        failure_ = failure_of(GetLastError());
        return false;
    }
    view.display_name = utf8_text(info->lpDisplayName);
    view.command_line = utf8_text(info->lpBinaryPathName);
    view.account = utf8_text(info->lpServiceStartName);
    view.start = start_of(info->dwStartType);
    view.dependencies = names_of(info->lpDependencies);
    if (view.dependencies.empty()) {
        view.dependencies = registered_dependencies(name);
    }
    read_optional_parts(service.get(), view);
    const SERVICE_STATUS_PROCESS status = status_of(service.get());
    view.state = status.dwCurrentState;
    view.win32_exit_code = status.dwWin32ExitCode;
    view.specific_exit_code = status.dwServiceSpecificExitCode;
    view.process_id = status.dwProcessId;
    return true;
}

bool service_manager::stop(const std::string& name, std::uint32_t limit_ms) {
    const service_handle service(OpenServiceW(manager_of(handle_), wide_text(name).c_str(),
                                              SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (service == nullptr) {
        failure_ = failure_of(GetLastError());
        return false;
    }
    // The manager tells no one when a service has stopped: its state is looked at again
    // every tenth of a second. A service still starting takes no stop request yet (Windows
    // says 1061, Wine 1052): the request is made again once it has started.
    const ULONGLONG began = GetTickCount64();
    bool asked = false;
    for (DWORD state; (state = status_of(service.get()).dwCurrentState) != SERVICE_STOPPED;) {
        SERVICE_STATUS answer{};
        if (!asked && state != SERVICE_STOP_PENDING) {
            asked = ControlService(service.get(), SERVICE_CONTROL_STOP, &answer) != FALSE;
            const DWORD error = asked ? ERROR_SUCCESS : GetLastError();
            if (!asked && error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL &&
                error != ERROR_INVALID_SERVICE_CONTROL && error != ERROR_SERVICE_NOT_ACTIVE) {
                failure_ = failure_of(error);
                return false;
            }
        }
        if (GetTickCount64() - began >= limit_ms) {
            failure_ = failure_of(ERROR_SERVICE_REQUEST_TIMEOUT);
            return false;
        }
        Sleep(100);
    }
    return true;
}

bool service_manager::remove(const std::string& name) {
    const service_handle service(
        OpenServiceW(manager_of(handle_), wide_text(name).c_str(), DELETE));
    if (service == nullptr || !DeleteService(service.get())) {
        failure_ = failure_of(GetLastError());
        return false;
    }
    return true;
}

std::vector<std::string> service_manager::other_command_lines(const std::string& name) {
    std::vector<std::string> lines;
    DWORD count = 0;
    const std::vector<BYTE> list = ask([this, &count](BYTE* buffer, DWORD size, DWORD* needed) {
        return EnumServicesStatusExW(manager_of(handle_), SC_ENUM_PROCESS_INFO, SERVICE_WIN32,
                                     SERVICE_STATE_ALL, buffer, size, needed, &count, nullptr,
                                     nullptr) != FALSE;
    });
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(list.data());
    for (DWORD i = 0; !list.empty() && i < count; ++i) {
        const std::string other = utf8_text(entries[i].lpServiceName);
        service_view view;
        if (_stricmp(other.c_str(), name.c_str()) != 0 && query(other, view)) {
            lines.push_back(view.command_line);
        }
    }
    return lines;
}

bool end_process(std::uint32_t process_id, std::uint32_t limit_ms, system_failure& failure) {
    const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id);
    DWORD error = process == nullptr ? GetLastError() : ERROR_SUCCESS;
    if (process != nullptr) {
        if (!TerminateProcess(process, ERROR_PROCESS_ABORTED)) {
            error = GetLastError();
        } else if (WaitForSingleObject(process, limit_ms) != WAIT_OBJECT_0) {
            error = ERROR_SERVICE_REQUEST_TIMEOUT;
        }
        CloseHandle(process);
    }
    if (error != ERROR_SUCCESS) {
        failure = failure_of(error);
        return false;
    }
    return true;
}

bool register_event_source(const std::string& message_file, system_failure& failure) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, source_key().c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
        const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
        const std::wstring file = wide_text(message_file);
        result = RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                                reinterpret_cast<const BYTE*>(file.c_str()),
                                static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
        if (result == ERROR_SUCCESS) {
            result = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&types), sizeof types);
        }
        RegCloseKey(key);
    }
    if (result != ERROR_SUCCESS) {
        failure = failure_of(static_cast<std::uint32_t>(result));
        return false;
    }
    return true;
}

std::string event_source_message_file() {
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, source_key().c_str(), L"EventMessageFile",
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return std::string();
    }
    return utf8_text(value);
}

bool remove_event_source(system_failure& failure) {
    const LONG result = RegDeleteKeyW(HKEY_LOCAL_MACHINE, source_key().c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
        failure = failure_of(static_cast<std::uint32_t>(result));
        return false;
    }
    return true;
}

} // namespace platform
