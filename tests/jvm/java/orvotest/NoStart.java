package orvotest;

/** No usable start method: one that is not static, one with other parameters. */
public final class NoStart {
    private NoStart() {}

    public void start(String[] parameters) { Record.ran("instance start", parameters); }

    public static void start(int port) { Record.ran("start(int)"); }

    public static void stop() { Record.ran("stop"); }
}
