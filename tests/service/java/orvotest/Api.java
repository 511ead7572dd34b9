package orvotest;

import java.io.BufferedReader;
import java.io.FileReader;
import java.io.IOException;
import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CopyOnWriteArrayList;
import java.util.concurrent.atomic.AtomicInteger;
import orvo.Service;

// The server class of the tests of orvo.Service. Each parameter is WHEN:ACTION[:ARGUMENT]:
// WHEN is "start" or "stop" (in that method, in order) or "thread=PATH" (on a thread of its
// own, no daemon, that starts in the start method and acts once a line can be read from
// PATH). Each call
// of orvo.Service prints "NAME(ARGUMENT) -> RESULT" to standard output.
//   starting:MS  stopping:MS  status:TEXT  request-stop:N  hosted
//   wait:PATH     waits until a line can be read from PATH (a named pipe the test writes)
//   loaders:JAR   which orvo.Service the class loaders find: this class's own, one of a
//                 class loader that asks its parent first (a fat jar's launcher) and one of
//                 a class loader that looks in JAR first (a web application's)
//   race:N:R      N threads call every method over and over (status with "racing",
//                 requestStop with 3 from their round R on) until the stop method ends
//                 them; the stop method then prints how many requestStop calls returned
//                 true
// main() is the program run without orvo: every call must return false.
public final class Api {
    private static final Map<String, List<String[]>> plans = new LinkedHashMap<>();
    private static final List<Thread> racers = new CopyOnWriteArrayList<>();
    private static final AtomicInteger stopsTaken = new AtomicInteger();
    private static volatile boolean racing = true;

    private Api() {}

    public static void start(String[] args) throws Exception {
        for (String parameter : args) {
            String[] parts = parameter.split(":", 3);
            plans.computeIfAbsent(parts[0], when -> new ArrayList<>()).add(parts);
        }
        System.out.println("start");
        for (Map.Entry<String, List<String[]>> plan : plans.entrySet()) {
            if (plan.getKey().startsWith("thread=")) {
                String gate = plan.getKey().substring("thread=".length());
                // No daemon: the Java VM's destruction waits until it has done all it was to.
                new Thread(() -> {
                    readLine(gate);
                    act(plan.getValue());
                }).start();
            }
        }
        act(plans.getOrDefault("start", new ArrayList<>()));
        System.out.println("started");
    }

    public static void stop() {
        System.out.println("stop");
        act(plans.getOrDefault("stop", new ArrayList<>()));
        racing = false;
        for (Thread racer : racers) {
            try {
                racer.join();
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }
        if (!racers.isEmpty()) {
            System.out.println("race requestStop true " + stopsTaken.get());
        }
        System.out.println("stopped");
    }

    public static void main(String[] args) {
        boolean any = said("hosted()", Service.hosted())
                | said("starting(1000)", Service.starting(1000))
                | said("stopping(1000)", Service.stopping(1000))
                | said("status(x)", Service.status("x"))
                | said("status(null)", Service.status(null))
                | said("requestStop(0)", Service.requestStop(0))
                | said("requestStop(3)", Service.requestStop(3));
        System.exit(any ? 1 : 0);
    }

    private static void act(List<String[]> actions) {
        for (String[] action : actions) {
            String argument = action.length > 2 ? action[2] : "";
            switch (action[1]) {
            case "starting":
                said("starting(" + argument + ")", Service.starting(Long.parseLong(argument)));
                break;
            case "stopping":
                said("stopping(" + argument + ")", Service.stopping(Long.parseLong(argument)));
                break;
            case "status":
                said("status(" + argument + ")", Service.status(argument));
                break;
            case "request-stop":
                said("requestStop(" + argument + ")", Service.requestStop(Integer.parseInt(argument)));
                break;
            case "hosted":
                said("hosted()", Service.hosted());
                break;
            case "wait":
                readLine(argument);
                break;
            case "loaders":
                loaders(argument);
                break;
            case "race":
                String[] race = argument.split(":");
                race(Integer.parseInt(race[0]), Integer.parseInt(race[1]));
                break;
            default:
                throw new IllegalArgumentException(action[1]);
            }
        }
    }

    private static boolean said(String call, boolean result) {
        System.out.println(call + " -> " + result);
        return result;
    }

    private static void readLine(String path) {
        try (BufferedReader reader = new BufferedReader(new FileReader(path))) {
            reader.readLine();
        } catch (IOException e) {
            throw new RuntimeException(e);
        }
    }

    private static void loaders(String jar) {
        try {
            showLoaders(jar);
        } catch (Exception e) {
            throw new RuntimeException(e);
        }
    }

    private static void showLoaders(String jar) throws Exception {
        URL[] urls = {Paths.get(jar).toUri().toURL()};
        System.out.println("class path: boot loader " + (Service.class.getClassLoader() == null)
                           + ", hosted " + Service.hosted());
        try (URLClassLoader parentFirst = new URLClassLoader(urls, Api.class.getClassLoader());
             URLClassLoader childFirst = new ChildFirst(urls, Api.class.getClassLoader())) {
            shown("parent first", parentFirst.loadClass("orvo.Service"));
            shown("child first", childFirst.loadClass("orvo.Service"));
        }
    }

    private static void shown(String loader, Class<?> service) throws Exception {
        Method hosted = service.getMethod("hosted");
        Method status = service.getMethod("status", String.class);
        System.out.println(loader + ": boot loader " + (service.getClassLoader() == null)
                           + ", hosted " + hosted.invoke(null) + ", status "
                           + status.invoke(null, loader));
    }

    // Looks in its own jars before it asks its parent, as a servlet container's web
    // application loader does.
    private static final class ChildFirst extends URLClassLoader {
        ChildFirst(URL[] urls, ClassLoader parent) {
            super(urls, parent);
        }

        @Override
        protected Class<?> loadClass(String name, boolean resolve) throws ClassNotFoundException {
            synchronized (getClassLoadingLock(name)) {
                Class<?> found = findLoadedClass(name);
                if (found == null) {
                    try {
                        found = findClass(name);
                    } catch (ClassNotFoundException notHere) {
                        return super.loadClass(name, resolve);
                    }
                }
                return found;
            }
        }
    }

    private static void race(int threads, int firstStopRound) {
        for (int t = 0; t < threads; ++t) {
            Thread thread = new Thread(() -> {
                for (int round = 0; racing; ++round) {
                    Service.status("racing");
                    Service.starting(100000);
                    Service.stopping(100000);
                    Service.hosted();
                    if (round >= firstStopRound && Service.requestStop(3)) {
                        stopsTaken.incrementAndGet();
                    }
                    pace();
                }
            });
            thread.setDaemon(true);
            racers.add(thread);
            thread.start();
        }
    }

    // A racer calls about a thousand times a second: often enough to meet every moment of
    // a stop, without burying the test's service manager in reports.
    private static void pace() {
        try {
            Thread.sleep(1);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
