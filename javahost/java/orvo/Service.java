package orvo;

/**
 * The Java program's side of its service host, orvo: it reports how its start and stop are
 * going, shows a status text, and stops the service itself with an exit code that the
 * service manager acts on.
 *
 * <p>Every method returns {@code true} when the host took the request and {@code false}
 * otherwise. Outside orvo (the program run with plain {@code java}, or a copy of this class
 * that a class loader of the program's own defined) every method returns {@code false}
 * and does nothing, so a program may call them wherever it runs. Every method may be called
 * from any thread, at any moment; none waits for the service.
 *
 * <p>orvo defines this class itself in the Java VM it creates, before the program's start
 * method is called, and this class's native methods are orvo's own: a program compiled
 * against {@code orvo-api.jar} finds orvo's class through its class loader's parents, and
 * needs no native library. See docs/java-api.md.
 */
public final class Service {
    private static final boolean HOSTED = connect();

    private Service() {}

    /** Whether the program runs inside orvo, which takes the requests below. */
    public static boolean hosted() {
        return HOSTED;
    }

    /**
     * During the start: the start needs about {@code millis} ms more (at least 1). The
     * service manager hears it as progress; the settings' {@code start_timeout}, when set,
     * stays the limit.
     */
    public static boolean starting(long millis) {
        return HOSTED && hostStarting(millis);
    }

    /**
     * During the stop: the stop needs about {@code millis} ms more (at least 1). The
     * settings' {@code stop_timeout}, when set, stays the limit.
     */
    public static boolean stopping(long millis) {
        return HOSTED && hostStopping(millis);
    }

    /**
     * Words for the operator beside the service's state ("Running, 240 sessions"), kept until
     * the program sets others; an empty text clears them. Control characters are shown as
     * escapes, so that the text stays one line. Where the service manager shows no such text
     * (the Windows service control manager) the result is {@code false}.
     */
    public static boolean status(String text) {
        return HOSTED && text != null && hostStatus(text);
    }

    /**
     * Stops the service as if the service manager had asked, with {@code exitCode} (0 to
     * 255): 0 is a normal stop, any other code a failure that the service manager acts on.
     * Returns at once; orvo calls the stop method on a thread of its own. Called during the
     * start, it makes the start fail. A second request, or one while the service stops,
     * changes nothing and returns {@code false}.
     */
    public static boolean requestStop(int exitCode) {
        return HOSTED && hostRequestStop(exitCode);
    }

    // Whether orvo registered this class's native methods. A copy of the class that orvo did
    // not define has none: its first call throws UnsatisfiedLinkError, and it is not hosted.
    private static boolean connect() {
        try {
            return hostPresent();
        } catch (UnsatisfiedLinkError notHosted) {
            return false;
        }
    }

    private static native boolean hostPresent();

    private static native boolean hostStarting(long millis);

    private static native boolean hostStopping(long millis);

    private static native boolean hostStatus(String text);

    private static native boolean hostRequestStop(int exitCode);
}
