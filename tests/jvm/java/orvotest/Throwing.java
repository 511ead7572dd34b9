package orvotest;

/** Start and stop methods that throw. */
public final class Throwing {
    private Throwing() {}

    public static void start(String[] parameters) {
        Record.ran("start", parameters);
        throw new IllegalStateException("start failed");
    }

    public static void stop() {
        Record.ran("stop");
        throw new IllegalStateException("stop failed");
    }
}
