package orvotest;

// Writes many lines from several threads to both standard streams at once, so that the
// test can tell whether the logs lose or tear any. Parameters: thread count, lines per
// thread and stream. Lines are "out T I" and "err T I".
public final class Flood {
    private Flood() {}

    public static void start(String[] args) throws InterruptedException {
        int threads = Integer.parseInt(args[0]);
        int lines = Integer.parseInt(args[1]);
        Thread[] writers = new Thread[threads];
        for (int t = 0; t < threads; ++t) {
            final int thread = t;
            writers[t] = new Thread(() -> {
                for (int i = 0; i < lines; ++i) {
                    System.out.println("out " + thread + " " + i);
                    System.err.println("err " + thread + " " + i);
                }
            });
            writers[t].start();
        }
        for (Thread writer : writers) {
            writer.join();
        }
    }

    public static void stop() {}
}
