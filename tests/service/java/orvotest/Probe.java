package orvotest;

import java.io.BufferedReader;
import java.io.FileReader;
import java.io.IOException;

// The server class of the service tests. It says on both streams what is called with
// which parameters, and registers a shutdown hook, which the Java VM runs while it is
// destroyed, so that the logs show the stop method before the VM's end.
//
// Parameters of the form "start-waits-for:PATH" or "stop-waits-for:PATH" make the start
// or stop method wait until a line can be read from PATH (a named pipe the test writes).
public final class Probe {
    private static String[] parameters = new String[0];

    private Probe() {}

    public static void start(String[] args) throws IOException {
        parameters = args;
        System.out.println("start " + String.join(",", args));
        System.err.println("start on stderr");
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("shutdown hook")));
        waitFor("start-waits-for:");
        System.out.println("started");
    }

    public static void stop() throws IOException {
        System.out.println("stop " + String.join(",", parameters));
        waitFor("stop-waits-for:");
        System.out.println("stopped");
    }

    private static void waitFor(String prefix) throws IOException {
        for (String parameter : parameters) {
            if (parameter.startsWith(prefix)) {
                String path = parameter.substring(prefix.length());
                try (BufferedReader reader = new BufferedReader(new FileReader(path))) {
                    reader.readLine();
                }
            }
        }
    }
}
