// Shows which menu entry belongs to the page that is open.
document.addEventListener("DOMContentLoaded", function () {
  for (const link of document.querySelectorAll(".menu a")) {
    if (link.href === location.href) link.classList.add("current");
  }
});
