package orvotest;

/** Both start variants: the service must choose the String[] one. */
public final class BothStarts {
    private BothStarts() {}

    public static void start(String[] parameters) { Record.ran("start", parameters); }

    public static void start() { Record.ran("start"); }

    public static void stop() { Record.ran("stop"); }
}
