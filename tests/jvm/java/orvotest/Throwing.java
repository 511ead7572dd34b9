package orvotest;

/** Start and stop methods that throw. */
public final class Throwing {
    private Throwing() {}

    public static void start(String[] parameters) {
        Record.call("start", parameters);
        throw new IllegalStateException("start failed");
    }

    public static void stop() {
        Record.line("stop()");
        throw new IllegalStateException("stop failed");
    }
}
