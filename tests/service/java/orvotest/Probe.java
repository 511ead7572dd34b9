package orvotest;

import java.io.BufferedReader;
import java.io.FileReader;
import java.io.IOException;
import java.lang.reflect.Field;
import java.util.ArrayList;
import java.util.List;

// The server class of the service tests. It says on both streams what is called with
// which parameters, and registers a shutdown hook, which the Java VM runs while it is
// destroyed, so that the logs show the stop method before the VM's end.
//
// Parameters of the form "start-waits-for:PATH" or "stop-waits-for:PATH" make the start
// or stop method wait until a line can be read from PATH (a named pipe the test writes).
// "exit-in-start:N", "halt-in-start:N", "exit-in-stop:N" and "halt-in-stop:N" end the
// Java VM with System.exit(N) or Runtime.halt(N) in that method; "exit-when:PATH:N" does
// it on a thread of its own once a line can be read from PATH; "crash-in-start" makes the
// VM crash. "thread-waits-for:PATH" starts a thread that is no daemon and ends only once a
// line can be read from PATH, which holds up the Java VM's destruction until then;
// "write-until-stop:N" starts N threads that write numbered lines to both streams
// ("out T I", "err T I") until the stop method ends them. "throw-in-start" makes the start
// method throw an IllegalStateException once the rest of it is done,
// "throw-unprintable-in-start" an exception whose toString() throws,
// "throw-unicode-in-start" one whose class's name goes beyond the basic plane
// (Probe$Инфо$Ошибка𐐀, written with escapes so that the source stays ASCII). "say-property:NAME"
// and "say-env:NAME" make it write "property NAME=VALUE" or "env NAME=VALUE" (null when
// unset) to standard output, and "say-file:PATH" the first line of that file (read as
// the program's own relative paths are). "say-err:TEXT" writes TEXT to standard error
// without a line end.
public final class Probe {
    private static String[] parameters = new String[0];
    private static final List<Thread> writers = new ArrayList<>();
    private static volatile boolean writing = true;

    private Probe() {}

    private static final class \u0418\u043d\u0444\u043e {
        private static final class \u041e\u0448\u0438\u0431\u043a\u0430\uD801\uDC00
                extends RuntimeException {}
    }

    // An exception that cannot be described: the Java VM's description stops mid-line.
    private static final class Unprintable extends RuntimeException {
        @Override
        public String toString() {
            throw new IllegalStateException("no words");
        }
    }

    public static void start(String[] args) throws Exception {
        parameters = args;
        System.out.println("start " + String.join(",", args));
        System.err.println("start on stderr");
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("shutdown hook")));
        say();
        waitFor("start-waits-for:");
        endIfAsked("-in-start:");
        exitLater();
        keepAlive();
        startWriters();
        for (String parameter : parameters) {
            if (parameter.equals("crash-in-start")) {
                crash();
            }
            if (parameter.equals("throw-in-start")) {
                throw new IllegalStateException("port in use");
            }
            if (parameter.equals("throw-unprintable-in-start")) {
                throw new Unprintable();
            }
            if (parameter.equals("throw-unicode-in-start")) {
                throw new \u0418\u043d\u0444\u043e.\u041e\u0448\u0438\u0431\u043a\u0430\uD801\uDC00();
            }
        }
        System.out.println("started");
    }

    public static void stop() throws IOException {
        System.out.println("stop " + String.join(",", parameters));
        stopWriters();
        waitFor("stop-waits-for:");
        endIfAsked("-in-stop:");
        System.out.println("stopped");
    }

    private static void say() throws IOException {
        for (String parameter : parameters) {
            if (parameter.startsWith("say-property:")) {
                String name = parameter.substring("say-property:".length());
                System.out.println("property " + name + "=" + System.getProperty(name));
            }
            if (parameter.startsWith("say-env:")) {
                String name = parameter.substring("say-env:".length());
                System.out.println("env " + name + "=" + System.getenv(name));
            }
            if (parameter.startsWith("say-err:")) {
                System.err.print(parameter.substring("say-err:".length()));
                System.err.flush();
            }
            if (parameter.startsWith("say-file:")) {
                try (BufferedReader reader = new BufferedReader(
                        new FileReader(parameter.substring("say-file:".length())))) {
                    System.out.println("file " + reader.readLine());
                }
            }
        }
    }

    private static void waitFor(String prefix) throws IOException {
        for (String parameter : parameters) {
            if (parameter.startsWith(prefix)) {
                readLine(parameter.substring(prefix.length()));
            }
        }
    }

    private static void readLine(String path) throws IOException {
        try (BufferedReader reader = new BufferedReader(new FileReader(path))) {
            reader.readLine();
        }
    }

    private static void endIfAsked(String moment) {
        for (String parameter : parameters) {
            if (parameter.startsWith("exit" + moment)) {
                System.exit(Integer.parseInt(parameter.substring(4 + moment.length())));
            }
            if (parameter.startsWith("halt" + moment)) {
                Runtime.getRuntime().halt(Integer.parseInt(parameter.substring(4 + moment.length())));
            }
        }
    }

    private static void exitLater() {
        for (String parameter : parameters) {
            if (parameter.startsWith("exit-when:")) {
                int colon = parameter.lastIndexOf(':');
                String path = parameter.substring("exit-when:".length(), colon);
                int status = Integer.parseInt(parameter.substring(colon + 1));
                Thread exiter = new Thread(() -> {
                    try {
                        readLine(path);
                    } catch (IOException e) {
                        throw new RuntimeException(e);
                    }
                    System.exit(status);
                });
                exiter.setDaemon(true);
                exiter.start();
            }
        }
    }

    private static void keepAlive() {
        for (String parameter : parameters) {
            if (parameter.startsWith("thread-waits-for:")) {
                String path = parameter.substring("thread-waits-for:".length());
                new Thread(() -> {
                    try {
                        readLine(path);
                    } catch (IOException e) {
                        throw new RuntimeException(e);
                    }
                }).start();
            }
        }
    }

    private static void startWriters() {
        for (String parameter : parameters) {
            if (parameter.startsWith("write-until-stop:")) {
                int count = Integer.parseInt(parameter.substring("write-until-stop:".length()));
                for (int t = 0; t < count; ++t) {
                    final int thread = t;
                    Thread writer = new Thread(() -> {
                        for (int i = 0; writing; ++i) {
                            System.out.println("out " + thread + " " + i);
                            System.err.println("err " + thread + " " + i);
                        }
                    });
                    writers.add(writer);
                    writer.start();
                }
            }
        }
    }

    private static void stopWriters() {
        writing = false;
        for (Thread writer : writers) {
            try {
                writer.join();
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }
    }

    // A write to address 0 through sun.misc.Unsafe, reached by reflection alone.
    private static void crash() throws Exception {
        Class<?> unsafeClass = Class.forName("sun.misc.Unsafe");
        Field field = unsafeClass.getDeclaredField("theUnsafe");
        field.setAccessible(true);
        unsafeClass.getMethod("putAddress", long.class, long.class)
                .invoke(field.get(null), 0L, 0L);
    }
}
