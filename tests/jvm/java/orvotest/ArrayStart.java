package orvotest;

/** Only the String[] start variant; the stop method has another name. */
public final class ArrayStart {
    private ArrayStart() {}

    public static void begin(String[] parameters) { Record.ran("begin", parameters); }

    public static void end() { Record.ran("end"); }
}
