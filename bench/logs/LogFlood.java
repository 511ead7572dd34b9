package orvo.bench;

import java.io.FileWriter;
import java.io.IOException;
import java.util.Arrays;

// The log benchmark's server class (scripts/bench-logs.sh): its start method writes LINES
// lines of LENGTH bytes (with the line end) to System.out from THREADS threads at once,
// timing each println, and writes to RESULT_FILE one line: the wall time of the whole in
// nanoseconds, the bytes written, the slowest println and the 99.9th percentile of them in
// nanoseconds. Parameters: THREADS LINES LENGTH RESULT_FILE.
public final class LogFlood {
    private LogFlood() {}

    public static void start(String[] args) throws Exception {
        final int threads = Integer.parseInt(args[0]);
        final int lines = Integer.parseInt(args[1]);
        final int length = Integer.parseInt(args[2]);
        final long[][] waits = new long[threads][lines];
        Thread[] writers = new Thread[threads];
        long began = System.nanoTime();
        for (int t = 0; t < threads; ++t) {
            final int thread = t;
            writers[t] = new Thread(() -> {
                char[] padding = new char[length];
                Arrays.fill(padding, '.');
                for (int i = 0; i < lines; ++i) {
                    String head = thread + " " + i + " ";
                    String line = head + new String(padding, 0, length - 1 - head.length());
                    long before = System.nanoTime();
                    System.out.println(line);
                    waits[thread][i] = System.nanoTime() - before;
                }
            });
            writers[t].start();
        }
        for (Thread writer : writers) {
            writer.join();
        }
        long elapsed = System.nanoTime() - began;
        long[] all = new long[threads * lines];
        for (int t = 0; t < threads; ++t) {
            System.arraycopy(waits[t], 0, all, t * lines, lines);
        }
        Arrays.sort(all);
        try (FileWriter result = new FileWriter(args[3])) {
            result.write(elapsed + " " + (long) threads * lines * length + " " + all[all.length - 1]
                    + " " + all[(int) (all.length * 0.999)] + "\n");
        }
    }

    public static void stop() {}
}
