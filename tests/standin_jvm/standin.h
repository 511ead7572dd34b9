// The stand-in Java VM: a library with JNI_CreateJavaVM and the few invocation and native
// functions that orvo calls, for testing orvo where no real Java VM exists (the Windows
// build under Wine) and for faults a real VM cannot be made to show (a failed attach).
//
// It is told through its creation options what exists:
//   -Dstandin.class=a/B               a class
//   -Dstandin.method=a/B.name(desc)V  a static method of a class
//   -Dstandin.throws=a/B.name         that method throws a java/lang/RuntimeException
//   -Dstandin.throws=a/B.name=c/D     that method throws a c/D (a name in UTF-8, "\u{HEX}"
//                                     for a character the system's code page lacks: on
//                                     Windows the options come in the ANSI code page)
//   -Dstandin.throws=a/B.<clinit>     loading the class throws a
//                                     java/lang/ExceptionInInitializerError, as when its
//                                     static initialiser throws; =c/D: a c/D
//   -Dstandin.fail=FUNCTION           that function fails (JNI_CreateJavaVM,
//                                     AttachCurrentThread, NewObjectArray, NewString)
//   -Dstandin.end=MOMENT:exit:STATUS  the VM ends the process with STATUS, through the
//   -Dstandin.end=MOMENT:abort        "exit" or "abort" hook it was given, as a real one
//                                     does: on a thread of its own for an exit while the
//                                     caller waits, on the caller's thread for an abort.
//                                     MOMENT: create (inside JNI_CreateJavaVM), a method
//                                     "class.name" (when it is called), or, on Windows,
//                                     event=NAME (once the named event is set) or console
//                                     (a console handler that the VM registers when it is
//                                     created, as a real one does: Ctrl-C, Ctrl-Break and
//                                     the close events reach it unless a handler
//                                     registered later takes them first)
//   -Dstandin.end=MOMENT:hang         the call never returns (a start or stop method that
//                                     hangs; MOMENT "destroy": a VM whose destruction
//                                     waits for a thread that never ends)
//   -Dstandin.end=MOMENT:wait=NAME    on Windows, the call returns once the named event is
//                                     set (a slow method)
//   -Dstandin.call=MOMENT:NAME(ARG)   calls the native method of orvo.Service that the
//                                     host registered for NAME (hosted(), starting(N),
//                                     stopping(N), status(TEXT), requestStop(N)) as the
//                                     program's class would, and records its answer:
//                                     at a method "class.name" on the caller's thread
//                                     before anything else the method does, or, on
//                                     Windows, at event=NAME on a thread of its own,
//                                     attached for the calls, which the VM's destruction
//                                     waits for as for a thread of the program's; in the
//                                     order given
//   -Dstandin.write=MOMENT:T:N[:LEN[:STREAM]]
//                                     T threads each write N numbered lines to standard
//                                     output ("out T I") and as many to standard error
//                                     ("err T I"), or to STREAM only ("out", "err"), each
//                                     in one write call, padded to LEN bytes with the line
//                                     end; the moment waits for them, and the record gets
//                                     how long they took and the slowest write call.
//                                     MOMENT as for an end, which follows the writes; for
//                                     event=NAME each time the event NAME is set, after
//                                     which the event NAME-done is set (Windows)
//   -Dstandin.report=cwd              records the current directory at the creation
//   -Dstandin.report=env:NAME         records the variable NAME at the creation (on Windows
//                                     also as the Universal C runtime sees it)
//   -Dstandin.describe                an exception described, or pending when a thread
//                                     detaches, is also printed to standard error as a
//                                     real VM prints it: Exception in thread "..." a.b.C
// Other options are accepted and ignored, except unknown "-Dstandin." keys and "-X" options
// other than -Xms, -Xmx and -Xss, which make the creation fail as a real VM fails on an
// unknown option.
//
// Every call is recorded as one line; the test reads the lines through the library's
// standin_record() export and clears them with standin_clear_record().
#pragma once

#include <jni.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace standin {

struct method_entry {
    std::string class_name;
    std::string name;
    std::string descriptor;
    std::string throws; // the class of what it throws when called; empty when it returns
};

// What a jclass, jstring or jobjectArray of the stand-in points to.
struct object {
    enum kind_type { class_kind, string_kind, array_kind, instance_kind };
    kind_type kind;
    std::string class_name;        // the class's name, an array's element class, or an
                                   // instance's class (a thrown exception)
    std::u16string text;           // a string's units
    std::vector<object*> elements; // an array's elements
};

// How and when the VM ends the process by itself.
struct end_plan {
    std::string moment; // "create", "class.name", or "event=NAME"
    bool abort = false;
    jint status = 0;
    bool hang = false;      // the call never returns
    std::string wait_event; // the call returns once this event is set
};

// A call of a registered native method, as the program would make it.
struct native_call {
    std::string moment; // "class.name" or "event=NAME"
    std::string name;   // the method of orvo.Service: "starting", "status", ...
    std::string argument;
};

// A native method that the host registered.
struct native_entry {
    std::string class_name;
    std::string name;
    std::string signature;
    void* function;
};

// A burst of lines written at a moment.
struct write_plan {
    std::string moment;
    int threads = 1;
    long lines = 0;
    std::size_t length = 0; // of each line with its end; shorter lines are padded
    bool to_output = true;
    bool to_error = true;
};

struct vm_state {
    bool created = false;
    std::vector<std::string> classes;
    std::vector<std::unique_ptr<method_entry>> methods;
    std::vector<std::string> throwing; // "class.name"
    std::vector<std::string> failing;  // names of functions that fail
    std::vector<std::unique_ptr<object>> objects;
    std::string pending; // the pending exception's class, empty when none
    std::set<std::thread::id> attached;
    std::vector<end_plan> ends;
    std::vector<native_call> calls;
    std::vector<native_entry> natives;
    std::vector<write_plan> writes;
    std::vector<std::string> reports; // what to report of the process at the creation
    bool describe = false;            // exceptions go to standard error too
};

// The hooks the host handed over ("exit" and "abort" options), kept across a failed
// creation since a real VM calls them then too.
struct vm_hooks {
    void(JNICALL* exit)(jint) = nullptr;
    void(JNICALL* abort)() = nullptr;
};
vm_hooks& hooks();

// Reads one "-Dstandin.end=" value; false when it is malformed.
bool add_end(vm_state& vm, const std::string& value);
// The plan for `moment`, if there is one.
const end_plan* end_at(const vm_state& vm, const std::string& moment);
// Ends the process as the plan says. Call without the state lock: the host's hooks and
// the end of the process must find it free.
[[noreturn]] void carry_out(end_plan plan, bool created);
// Carries out a plan that ends the process, or holds the call up as the plan says and
// returns. Call without the state lock, as carry_out.
void act_on(const end_plan& plan, bool created);
// Starts a thread that waits for each event plan's event.
void watch_end_events(const vm_state& vm);

// Reads one "-Dstandin.call=" value; false when it is malformed.
bool add_call(vm_state& vm, const std::string& value);
// Makes the calls planned for `moment`, in order, on the calling thread. Call without the
// state lock: the native methods call back into the stand-in.
void make_calls(const std::string& moment);
// Starts a thread for each event that calls wait for (Windows).
void watch_call_events(const vm_state& vm);
// Waits, with the state lock held by `hold`, until no such thread is making its calls.
void wait_for_calling_threads(std::unique_lock<std::mutex>& hold);
// Reads one "-Dstandin.write=" value; false when it is malformed.
bool add_write(vm_state& vm, const std::string& value);
// The bursts to write at `moment`.
std::vector<write_plan> writes_at(const vm_state& vm, const std::string& moment);
// Writes one burst and returns once every thread of it has. Call without the state lock.
void write_burst(const write_plan& plan);
// Starts a thread for each burst written on an event.
void watch_write_events(const vm_state& vm);

// The one VM and the lock that every entry point holds while it works on it.
vm_state& state();
std::mutex& state_lock();

// Appends one line to the record.
void record(const std::string& line);

bool is_failing(const vm_state& vm, const std::string& function);
// Records one "-Dstandin.report=" item: "report cwd ..." or "report env NAME ...".
void report_process(const std::string& what);
object* new_object(vm_state& vm, object::kind_type kind);
// Prints the exception `class_name` to standard error as a real VM does, where the VM was
// told to (-Dstandin.describe).
void print_exception(const vm_state& vm, const std::string& class_name);
// The UTF-16 units of `text`, UTF-8 that the stand-in was given (a class's name).
std::u16string widened(const std::string& text);
// "0061 00e9": a string's UTF-16 units in hex.
std::string units(const std::u16string& text);

// The tables behind the JavaVM and JNIEnv pointers handed out.
JavaVM* java_vm();
JNIEnv* jni_env();

} // namespace standin
