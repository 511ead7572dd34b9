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

/**
 * A small HTTP server run as a service by orvo. orvo calls {@link #start(String[])} when the
 * service starts and {@link #stop()} when it stops; both return promptly, the server itself
 * runs on its own threads in between.
 */
public final class HelloServer {
    private static HttpServer server;
    private static ExecutorService workers;

    private HelloServer() {}

    /** Starts listening on 127.0.0.1 at the port given as the first parameter (default 8080). */
    public static synchronized void start(String[] args) throws IOException {
        int port = args.length > 0 ? Integer.parseInt(args[0].trim()) : 8080;
        workers = Executors.newFixedThreadPool(4);
        server = HttpServer.create(new InetSocketAddress(InetAddress.getLoopbackAddress(), port), 0);
        server.createContext("/", HelloServer::answer);
        server.setExecutor(workers);
        server.start();
        System.out.println(Instant.now() + " hello-server listening on http://127.0.0.1:" + port + "/");
        System.out.flush();
    }

    /** Stops accepting requests, lets running ones finish for up to a second, and returns. */
    public static synchronized void stop() throws InterruptedException {
        System.out.println(Instant.now() + " hello-server stopping");
        if (server != null) {
            server.stop(1);
            server = null;
        }
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
    }
}
