// Keeps the playground working offline: every file of the page is kept in
// the browser's cache at the first visit. Each request asks the server first
// (so a new build shows at once) and falls back to the cache when the server
// is gone.
const cacheName = "vorn-playground-v1";
const files = [
  "./",
  "index.html",
  "style.css",
  "main.js",
  "worker.js",
  "vorn.js",
  "vorn.wasm",
  "examples.json",
  "manifest.webmanifest",
  "icon.svg",
];

self.addEventListener("install", (event) => {
  event.waitUntil(
    caches
      .open(cacheName)
      .then((cache) => cache.addAll(files))
      .then(() => self.skipWaiting()),
  );
});

self.addEventListener("activate", (event) => {
  event.waitUntil(
    caches
      .keys()
      .then((names) => Promise.all(names.filter((name) => name !== cacheName).map((name) => caches.delete(name))))
      .then(() => self.clients.claim()),
  );
});

self.addEventListener("fetch", (event) => {
  const request = event.request;
  if (request.method !== "GET" || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(
    fetch(request)
      .then((response) => {
        if (response.ok) {
          const copy = response.clone();
          caches.open(cacheName).then((cache) => cache.put(request, copy));
        }
        return response;
      })
      .catch(() =>
        caches.match(request, { ignoreSearch: true }).then((cached) => cached ?? caches.match("index.html")),
      ),
  );
});
