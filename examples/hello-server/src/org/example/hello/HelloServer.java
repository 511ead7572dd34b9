package org.example.hello;

import com.sun.net.httpserver.HttpExchange;
import com.sun.net.httpserver.HttpServer;
import java.io.IOException;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.nio.charset.StandardCharsets;
import java.time.Instant;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicLong;
import orvo.Service;

/**
 * A small HTTP server run as a service by orvo. orvo calls {@link #start(String[])} when the
 * service starts and {@link #stop()} when it stops; both return promptly, the server itself
 * runs on its own threads in between.
 *
 * <p>It talks to orvo through {@link Service} (orvo-api.jar, which it is compiled against
 * and need not carry): it says how long its start and stop still take, shows where it
 * listens and how many requests it answered in the service's status, and stops the service
 * with exit code 3, a failure that the service manager acts on, when a thread dies of an
 * error it cannot go on after. Run without orvo, every call of Service does nothing.
 */
public final class HelloServer {
    private static HttpServer server;
    private static ExecutorService workers;
    private static String listening = "";
    private static final AtomicLong answered = new AtomicLong();

    private HelloServer() {}

    /** Starts listening on 127.0.0.1 at the port given as the first parameter (default 8080). */
    public static synchronized void start(String[] args) throws IOException {
        Service.starting(10000);
        int port = args.length > 0 ? Integer.parseInt(args[0].trim()) : 8080;
        Thread.setDefaultUncaughtExceptionHandler(HelloServer::died);
        workers = Executors.newFixedThreadPool(4);
        server = HttpServer.create(new InetSocketAddress(InetAddress.getLoopbackAddress(), port), 0);
        server.createContext("/", HelloServer::answer);
        server.setExecutor(workers);
        server.start();
        listening = "listening on http://127.0.0.1:" + port + "/";
        Service.status(listening);
        System.out.println(Instant.now() + " hello-server " + listening);
        System.out.flush();
    }

    /** Stops accepting requests, lets running ones finish for up to a second, and returns. */
    public static synchronized void stop() throws InterruptedException {
        System.out.println(Instant.now() + " hello-server stopping");
        Service.stopping(6000);
        if (server != null) {
            server.stop(1);
            server = null;
        }
        // The status stays in every later report, "Stopped" included: say what is true now.
        long count = answered.get();
        Service.status("no longer listening, " + count + (count == 1 ? " request" : " requests") + " answered");
        if (workers != null) {
            workers.shutdown();
            workers.awaitTermination(5, TimeUnit.SECONDS);
            workers = null;
        }
        System.out.println(Instant.now() + " hello-server stopped");
        System.out.flush();
    }

    private static void answer(HttpExchange exchange) throws IOException {
        byte[] body = ("Hello from a Java server run by orvo. You asked for "
                       + exchange.getRequestURI() + "\n").getBytes(StandardCharsets.UTF_8);
        exchange.getResponseHeaders().set("Content-Type", "text/plain; charset=utf-8");
        exchange.sendResponseHeaders(200, body.length);
        try (OutputStream out = exchange.getResponseBody()) {
            out.write(body);
        }
        System.out.println(Instant.now() + " " + exchange.getRemoteAddress() + " "
                           + exchange.getRequestMethod() + " " + exchange.getRequestURI() + " 200");
        System.out.flush();
        long count = answered.incrementAndGet();
        // The status is a report to the service manager: said now and then, not per request.
        if (count == 1 || count % 100 == 0) {
            Service.status(listening + ", " + count + (count == 1 ? " request" : " requests") + " answered");
        }
    }

    // An Error (out of memory, a broken class) leaves the server in no state to go on: the
    // service stops cleanly, through the stop method, and the service manager sees a failure.
    private static void died(Thread thread, Throwable thrown) {
        System.err.println(Instant.now() + " hello-server: " + thread.getName() + " died: " + thrown);
        thrown.printStackTrace();
        if (thrown instanceof Error) {
            Service.requestStop(3);
        }
    }
}
