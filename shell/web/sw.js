// The page's offline copy: the page, the program and the data set are kept on
// the first visit, so that later visits start without the network. Whatever
// the network gives is used and kept; without it, the kept copy answers. The
// copy is named after the program's version: a new release drops the old one.
'use strict';
const version = 'kestrion-@PROJECT_VERSION@';
const pageFiles = ['./', 'index.html', 'page.js', 'page.css', 'kestrion.js', 'kestrion.wasm', 'data/files.json'];

self.addEventListener('install', (event) => {
  event.waitUntil(
    (async () => {
      const cache = await caches.open(version);
      await cache.addAll(pageFiles);
      const list = await (await cache.match('data/files.json')).json();
      await cache.addAll(list.files.map((file) => 'data/' + encodeURIComponent(file.name)));
      await self.skipWaiting();
    })()
  );
});

self.addEventListener('activate', (event) => {
  event.waitUntil(
    (async () => {
      for (const name of await caches.keys()) if (name.startsWith('kestrion-') && name !== version) await caches.delete(name);
      await self.clients.claim();
    })()
  );
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== location.origin) return;
  event.respondWith(
    (async () => {
      const cache = await caches.open(version);
      try {
        const response = await fetch(request);
        if (response.ok) await cache.put(request, response.clone());
        return response;
      } catch (offline) {
        const kept = await cache.match(request, { ignoreSearch: true });
        if (kept) return kept;
        throw offline;
      }
    })()
  );
});
