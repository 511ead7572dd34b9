package orvotest;

/** A start method but no static stop method taking nothing. */
public final class NoStop {
    private NoStop() {}

    public static void start(String[] parameters) { Record.call("start", parameters); }

    public static void stop(String reason) { Record.line("stop(String)"); }
}
