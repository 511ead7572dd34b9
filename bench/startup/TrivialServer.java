package orvo.bench;

/**
 * The smallest server worth hosting, for the start-up benchmark: start and stop each write
 * one line, so that the logs show every run really called both, and do nothing else.
 * main runs the same two calls for the java launcher.
 */
public final class TrivialServer {
    private static volatile boolean running;

    private TrivialServer() {
    }

    public static void start(String[] args) {
        running = true;
        System.out.println("start");
    }

    public static void stop() {
        running = false;
        System.out.println("stop");
    }

    public static void main(String[] args) {
        start(args);
        stop();
    }
}
