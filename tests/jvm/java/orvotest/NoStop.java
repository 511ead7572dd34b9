package orvotest;

/** A start method but no static stop method taking nothing. */
public final class NoStop {
    private NoStop() {}

    public static void start(String[] parameters) { Record.ran("start", parameters); }

    public static void stop(String reason) { Record.ran("stop(String)"); }
}
