package orvotest;

/** Only the start variant without parameters. */
public final class PlainStart {
    private PlainStart() {}

    public static void start() { Record.line("start()"); }

    public static void stop() { Record.line("stop()"); }
}
