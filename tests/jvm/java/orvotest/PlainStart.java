package orvotest;

/** Only the start variant without parameters. */
public final class PlainStart {
    private PlainStart() {}

    public static void start() { Record.ran("start"); }

    public static void stop() { Record.ran("stop"); }
}
